#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class DmmData;
class ItemData;
class ItemTree;
class Journal;
class Recorder;
struct LoadedItem;

// Keeps the journal in step with the items: follows the item tree (items added, renamed,
// removed), the recorder (readings stored, units) and each item (readings cleared), and knows
// which items were exported or saved since they last changed. It also brings items back: those
// of an earlier session from the journal, and those read from a file.
class ItemJournal : public QObject
{
    Q_OBJECT

public:
    // Journals the items already in the tree, and from then on every change.
    ItemJournal(ItemTree* tree, Recorder* recorder, Journal* journal, QObject* parent = nullptr);

    // The item's readings are exported or saved as they are now.
    void markSaved(const ItemData* item);
    bool isSaved(const ItemData* item) const;

    // Brings back the unsaved items of an earlier session from the journal: under "Live Data",
    // and the meter's readings into "Store Data" while that is empty. The session is then gone
    // from the journal; its items are this session's. On a failure nothing changes.
    bool restore(qint64 session, QString* error);
    void discard(qint64 session);

    // A new item under "Live Data" with the name, unit and readings read from a file; it counts
    // as saved.
    ItemData* addLoaded(LoadedItem&& loaded);

private:
    void follow(ItemData* item, int key);
    void itemAdded(ItemData* item);
    void itemRemoving(ItemData* item);
    void itemRenamed(ItemData* item);
    void readingStored(ItemData* item, const DmmData* reading);
    void unitChanged(ItemData* item, int unitCode, const QString& unitText);
    void changing(const ItemData* item);
    static void fill(ItemData* item, LoadedItem& loaded);

    ItemTree* tree;
    Journal* journal;
    QHash<const ItemData*, int> keys;
    QSet<int> saved;
    // While an item of an earlier session is put back: its id in the journal.
    qint64 adopting = 0;
};

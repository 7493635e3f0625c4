#pragma once

#include "itemdata.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QModelIndex>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>

class QStandardItem;
class TvItemModel;

// The rules of the item tree: two groups, "Store Data" (row 0) and "Live Data" (row 1) with the
// measurement items under it, names, and which row carries the active mark. It owns the ItemData
// of every row and deletes each in one place, when its row goes or the tree does. Lookups by
// item and by name take constant time, however many items there are.
class ItemTree : public QObject
{
    Q_OBJECT

public:
    ItemTree(TvItemModel* model, const QIcon& itemIcon, QObject* parent = nullptr);
    ~ItemTree() override;

    // The two group rows, with the given (translated) names and icons.
    void addGroups(const QString& storeName, const QIcon& storeIcon, const QString& liveName,
        const QIcon& liveIcon);
    // A new item at the end of "Live Data"; returns its index.
    QModelIndex addLiveItem(const QString& name, ItemData::DataType type = ItemData::LiveMeasure);
    // Deletes the item of a row under a group, and the row.
    void removeItem(const QModelIndex& index);
    void renameItem(const QModelIndex& index, const QString& name);

    QModelIndex storeIndex() const;
    QModelIndex liveGroupIndex() const;
    ItemData* storeItem() const { return itemAt(storeIndex()); }
    QModelIndex indexOf(const ItemData* item) const;
    QList<ItemData*> liveItems() const;
    // Whether an item under "Live Data" carries this name (exactly).
    bool isLiveNameUsed(const QString& name) const { return liveNames.value(name) > 0; }

    static ItemData* itemAt(const QModelIndex& index);
    // A row under a group (a measurement item), not a group.
    static bool isItemRow(const QModelIndex& index);

    // "Measure" followed by one more than the rows whose name starts with "Measure"; when that
    // name is taken (after a delete), the next free number.
    QString defaultName() const;

    // Marks exactly this row active (the tree shows it bold); an invalid index marks none.
    void markActive(const QModelIndex& index);

signals:
    void itemAdded(ItemData* item);
    // Just before the item is deleted.
    void itemRemoving(ItemData* item);
    void itemRenamed(ItemData* item);

private:
    void countName(const QString& name, int delta, bool live);

    TvItemModel* model;
    QIcon itemIcon;
    QStandardItem* liveGroup = nullptr;
    QPersistentModelIndex marked;
    QHash<const ItemData*, QStandardItem*> rows;
    QHash<QString, int> liveNames;
    QHash<QString, int> allNames;
    int measureNames = 0;
};

#include "itemjournal.h"

#include "itemdata.h"
#include "itemtree.h"
#include "journal.h"
#include "loadeditem.h"
#include "recorder.h"
#include "sessionreader.h"

ItemJournal::ItemJournal(ItemTree* tree, Recorder* recorder, Journal* journal, QObject* parent)
    : QObject(parent)
    , tree(tree)
    , journal(journal)
{
    if (ItemData* store = tree->storeItem())
        itemAdded(store);
    for (ItemData* item : tree->liveItems())
        itemAdded(item);
    connect(tree, &ItemTree::itemAdded, this, &ItemJournal::itemAdded);
    connect(tree, &ItemTree::itemRemoving, this, &ItemJournal::itemRemoving);
    connect(tree, &ItemTree::itemRenamed, this, &ItemJournal::itemRenamed);
    connect(recorder, &Recorder::readingStored, this, &ItemJournal::readingStored);
    connect(recorder, &Recorder::unitChanged, this, &ItemJournal::unitChanged);
}

void ItemJournal::follow(ItemData* item, int key)
{
    keys.insert(item, key);
    connect(item, &ItemData::propertiesChanged, this, [this, item] {
        journal->setItemProperties(keys.value(item), item->properties().toJson());
    });
    connect(item, &ItemData::readingsAboutToBeCleared, this, [this, item] {
        changing(item);
        journal->clearItem(keys.value(item));
    });
}

void ItemJournal::itemAdded(ItemData* item)
{
    if (!item || keys.contains(item))
        return;
    if (adopting != 0) {
        follow(item, journal->adoptItem(adopting, item->type()));
        return;
    }
    ItemRecord record;
    record.name = item->name();
    record.type = item->type();
    record.unit = item->unitText();
    record.properties = item->properties().toJson();
    follow(item, journal->addItem(record));
    for (const DmmData* reading : item->readings())
        journal->appendReading(keys.value(item), *reading);
}

void ItemJournal::itemRemoving(ItemData* item)
{
    const int key = keys.take(item);
    if (key == 0)
        return;
    disconnect(item, nullptr, this, nullptr);
    saved.remove(key);
    journal->removeItem(key);
}

void ItemJournal::itemRenamed(ItemData* item)
{
    if (keys.contains(item))
        journal->renameItem(keys.value(item), item->name());
}

void ItemJournal::readingStored(ItemData* item, const DmmData* reading)
{
    if (!keys.contains(item) || !reading)
        return;
    changing(item);
    journal->appendReading(keys.value(item), *reading);
}

void ItemJournal::unitChanged(ItemData* item, int unitCode, const QString& unitText)
{
    Q_UNUSED(unitCode)
    if (keys.contains(item))
        journal->setItemUnit(keys.value(item), unitText);
}

void ItemJournal::changing(const ItemData* item)
{
    const int key = keys.value(item);
    if (saved.remove(key))
        journal->setItemSaved(key, false);
}

void ItemJournal::markSaved(const ItemData* item)
{
    const int key = keys.value(item);
    if (key == 0 || saved.contains(key))
        return;
    saved.insert(key);
    journal->setItemSaved(key, true);
}

bool ItemJournal::isSaved(const ItemData* item) const
{
    return saved.contains(keys.value(item));
}

void ItemJournal::fill(ItemData* item, LoadedItem& loaded)
{
    item->setUnitText(loaded.record.unit);
    item->setProperties(ItemProperties::fromJson(loaded.record.properties));
    for (std::unique_ptr<DmmData>& reading : loaded.readings)
        item->appendReading(reading.release());
    loaded.readings.clear();
}

bool ItemJournal::restore(qint64 session, QString* error)
{
    // Everything is read before anything changes, so a damaged journal changes nothing.
    journal->flush();
    SessionReader reader;
    QList<ItemRecord> records;
    if (!reader.open(Journal::filePath()) || !reader.items(&records, session, true)) {
        *error = reader.errorString();
        return false;
    }
    std::vector<LoadedItem> loaded;
    for (const ItemRecord& record : records) {
        if (record.readingCount == 0)
            continue;
        LoadedItem item;
        item.record = record;
        if (!reader.readings(record.id, &item.readings)) {
            *error = reader.errorString();
            return false;
        }
        loaded.push_back(std::move(item));
    }
    reader.close();

    ItemData* store = tree->storeItem();
    for (LoadedItem& item : loaded) {
        if (item.record.type == ItemData::StoreData && store && store->readingCount() == 0) {
            journal->adoptItem(item.record.id, ItemData::StoreData, keys.value(store));
            fill(store, item);
            continue;
        }
        adopting = item.record.id;
        const QModelIndex index = tree->addLiveItem(item.record.name);
        adopting = 0;
        fill(ItemTree::itemAt(index), item);
    }
    journal->discardSession(session);
    return true;
}

void ItemJournal::discard(qint64 session)
{
    journal->discardSession(session);
}

ItemData* ItemJournal::addLoaded(LoadedItem&& loaded)
{
    const QModelIndex index = tree->addLiveItem(loaded.record.name);
    ItemData* item = ItemTree::itemAt(index);
    const int key = keys.value(item);
    item->setUnitText(loaded.record.unit);
    journal->setItemUnit(key, loaded.record.unit);
    // Journalled through propertiesChanged, as any change of them is.
    item->setProperties(ItemProperties::fromJson(loaded.record.properties));
    for (std::unique_ptr<DmmData>& reading : loaded.readings) {
        journal->appendReading(key, *reading);
        item->appendReading(reading.release());
    }
    loaded.readings.clear();
    markSaved(item);
    return item;
}

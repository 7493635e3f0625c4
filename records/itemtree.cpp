#include "itemtree.h"

#include "tvitemmodel.h"

namespace {
const QString DefaultPrefix = QStringLiteral("Measure");
}

ItemTree::ItemTree(TvItemModel* model, const QIcon& itemIcon, QObject* parent)
    : QObject(parent)
    , model(model)
    , itemIcon(itemIcon)
{ }

ItemTree::~ItemTree()
{
    // The rows go with the model; the items are ours.
    for (int row = 0; row < model->rowCount(); ++row) {
        QStandardItem* group = model->item(row);
        for (int child = 0; child < group->rowCount(); ++child)
            delete itemAt(group->child(child)->index());
        delete itemAt(group->index());
    }
    model->clear();
}

void ItemTree::addGroups(const QString& storeName, const QIcon& storeIcon, const QString& liveName,
    const QIcon& liveIcon)
{
    auto* store = new QStandardItem(storeIcon, storeName);
    auto* storeData = new ItemData(storeName, ItemData::StoreData);
    store->setData(QVariant::fromValue(storeData), ItemDataRole);
    model->appendRow(store);
    rows.insert(storeData, store);
    countName(storeName, 1, false);

    liveGroup = new QStandardItem(liveIcon, liveName);
    auto* liveData = new ItemData(liveName, ItemData::LiveGroup);
    liveGroup->setData(QVariant::fromValue(liveData), ItemDataRole);
    model->appendRow(liveGroup);
    rows.insert(liveData, liveGroup);
    countName(liveName, 1, false);
}

QModelIndex ItemTree::addLiveItem(const QString& name, ItemData::DataType type)
{
    auto* row = new QStandardItem(itemIcon, name);
    auto* item = new ItemData(name, type);
    row->setData(QVariant::fromValue(item), ItemDataRole);
    liveGroup->appendRow(row);
    const QModelIndex index = row->index();
    rows.insert(item, row);
    countName(name, 1, true);
    emit itemAdded(item);
    return index;
}

void ItemTree::removeItem(const QModelIndex& index)
{
    if (!isItemRow(index))
        return;
    ItemData* item = itemAt(index);
    emit itemRemoving(item);
    if (item) {
        countName(item->name(), -1, true);
        rows.remove(item);
    }
    model->removeRow(index.row(), index.parent());
    delete item;
}

void ItemTree::renameItem(const QModelIndex& index, const QString& name)
{
    ItemData* item = isItemRow(index) ? itemAt(index) : nullptr;
    if (!item || item->name() == name)
        return;
    countName(item->name(), -1, true);
    item->setName(name);
    countName(name, 1, true);
    emit itemRenamed(item);
}

void ItemTree::countName(const QString& name, int delta, bool live)
{
    if (name.startsWith(DefaultPrefix))
        measureNames += delta;
    for (QHash<QString, int>* names : { &allNames, live ? &liveNames : nullptr }) {
        if (!names)
            continue;
        const int count = names->value(name) + delta;
        if (count > 0)
            names->insert(name, count);
        else
            names->remove(name);
    }
}

QModelIndex ItemTree::storeIndex() const
{
    return model->index(0, 0);
}

QModelIndex ItemTree::liveGroupIndex() const
{
    return liveGroup ? liveGroup->index() : QModelIndex();
}

QModelIndex ItemTree::indexOf(const ItemData* item) const
{
    const QStandardItem* row = rows.value(item);
    return row ? row->index() : QModelIndex();
}

QList<ItemData*> ItemTree::liveItems() const
{
    QList<ItemData*> items;
    if (!liveGroup)
        return items;
    for (int row = 0; row < liveGroup->rowCount(); ++row)
        items << itemAt(liveGroup->child(row)->index());
    return items;
}

ItemData* ItemTree::itemAt(const QModelIndex& index)
{
    return index.data(ItemDataRole).value<ItemData*>();
}

bool ItemTree::isItemRow(const QModelIndex& index)
{
    return index.isValid() && index.parent().isValid();
}

QString ItemTree::defaultName() const
{
    int number = measureNames + 1;
    while (allNames.contains(DefaultPrefix + QString::number(number)))
        ++number;
    return DefaultPrefix + QString::number(number);
}

void ItemTree::markActive(const QModelIndex& index)
{
    // Only this tree sets the mark, so at most one row carries it: clearing that one is enough,
    // however many items there are.
    if (QStandardItem* previous = model->itemFromIndex(marked))
        previous->setData(false, ActiveRole);
    marked = index;
    if (QStandardItem* item = model->itemFromIndex(index))
        item->setData(true, ActiveRole);
}

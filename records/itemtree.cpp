#include "itemtree.h"

#include "tvitemmodel.h"

ItemTree::ItemTree(TvItemModel* model, const QIcon& itemIcon)
    : model(model)
    , itemIcon(itemIcon)
{
}

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

void ItemTree::addGroups(const QString& storeName, const QIcon& storeIcon,
    const QString& liveName, const QIcon& liveIcon)
{
    auto* store = new QStandardItem(storeIcon, storeName);
    store->setData(
        QVariant::fromValue(new ItemData(storeName, ItemData::StoreData)), ItemDataRole);
    model->appendRow(store);
    liveGroup = new QStandardItem(liveIcon, liveName);
    liveGroup->setData(
        QVariant::fromValue(new ItemData(liveName, ItemData::LiveGroup)), ItemDataRole);
    model->appendRow(liveGroup);
}

QModelIndex ItemTree::addLiveItem(const QString& name, ItemData::DataType type)
{
    auto* row = new QStandardItem(itemIcon, name);
    row->setData(QVariant::fromValue(new ItemData(name, type)), ItemDataRole);
    liveGroup->appendRow(row);
    return row->index();
}

void ItemTree::removeItem(const QModelIndex& index)
{
    if (!isItemRow(index))
        return;
    ItemData* item = itemAt(index);
    model->removeRow(index.row(), index.parent());
    delete item;
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
    if (!item)
        return QModelIndex();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex group = model->index(row, 0);
        if (itemAt(group) == item)
            return group;
        for (int child = 0; child < model->rowCount(group); ++child) {
            const QModelIndex index = model->index(child, 0, group);
            if (itemAt(index) == item)
                return index;
        }
    }
    return QModelIndex();
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
    int count = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex group = model->index(row, 0);
        const ItemData* groupData = itemAt(group);
        if (groupData && groupData->name().startsWith(QLatin1String("Measure")))
            ++count;
        for (int child = 0; child < model->rowCount(group); ++child) {
            const ItemData* data = itemAt(model->index(child, 0, group));
            if (data && data->name().startsWith(QLatin1String("Measure")))
                ++count;
        }
    }
    return QStringLiteral("%1%2").arg(QStringLiteral("Measure")).arg(count + 1);
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

#pragma once

#include "itemdata.h"

#include <QIcon>
#include <QList>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QString>

class QStandardItem;
class TvItemModel;

// The rules of the item tree: two groups, "Store Data" (row 0) and "Live Data" (row 1) with the
// measurement items under it, default names, and which row carries the active mark. It owns the
// ItemData of every row and deletes each in one place, when its row goes or the tree does.
class ItemTree
{
public:
    ItemTree(TvItemModel* model, const QIcon& itemIcon);
    ~ItemTree();
    ItemTree(const ItemTree&) = delete;
    ItemTree& operator=(const ItemTree&) = delete;

    // The two group rows, with the given (translated) names and icons.
    void addGroups(const QString& storeName, const QIcon& storeIcon, const QString& liveName,
        const QIcon& liveIcon);
    // A new item at the end of "Live Data"; returns its index.
    QModelIndex addLiveItem(const QString& name, ItemData::DataType type = ItemData::LiveMeasure);
    // Deletes the item of a row under a group, and the row.
    void removeItem(const QModelIndex& index);

    QModelIndex storeIndex() const;
    QModelIndex liveGroupIndex() const;
    ItemData* storeItem() const { return itemAt(storeIndex()); }
    QModelIndex indexOf(const ItemData* item) const;
    QList<ItemData*> liveItems() const;

    static ItemData* itemAt(const QModelIndex& index);
    // A row under a group (a measurement item), not a group.
    static bool isItemRow(const QModelIndex& index);

    // "Measure" followed by one more than the rows whose name starts with "Measure".
    QString defaultName() const;

    // Marks exactly this row active (the tree shows it bold); an invalid index marks none.
    void markActive(const QModelIndex& index);

private:
    TvItemModel* model;
    QIcon itemIcon;
    QStandardItem* liveGroup = nullptr;
    QPersistentModelIndex marked;
};

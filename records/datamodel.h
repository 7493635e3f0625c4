#pragma once

#include <QAbstractTableModel>
#include <QList>

#include "columnheader.h"

class DmmData;
class ItemData;

// The six-column reading table of the active item. Rows are borrowed from the item that owns them.
class DataModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit DataModel(const QList<ColumnHeader*>& headers, QObject* parent = nullptr);
    ~DataModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int appendReading(DmmData* reading);
    int setReadings(const QList<DmmData*>& readings);
    void clear();

    const DmmData* reading(int row) const;

    // Shows the readings of one item. The table follows the item whose readings it shows (also
    // when they came through setReadings or appendReading): when that item clears or deletes its
    // readings, the table lets go of them first, so a view never reads a deleted reading.
    void showItem(ItemData* item);
    ItemData* shownItem() const { return shown; }
    // A reading just stored into an item: a new last row when the table shows that item.
    void addReading(ItemData* item, const DmmData* reading);

private:
    int size() const { return borrowed ? borrowedRows : rows.size(); }
    DmmData* at(int row) const;
    // Copies the borrowed rows into rows, before the table changes in a way the item does not.
    void takeOwnRows();
    void follow(ItemData* item);
    void followOwnerOf(const DmmData* reading);
    void forgetItem();

    // The rows of a table that does not show an item as it stands (after removeRows, or filled
    // through setReadings).
    QList<DmmData*> rows;
    QList<ColumnHeader*> headers;
    ItemData* shown = nullptr;
    // The item whose first borrowedRows readings are the rows. They are read from the item's own
    // list: a copy of it would share the item's storage until the item grows, and that growth
    // would then copy every pointer, a stall of half a second for a day of readings.
    const ItemData* borrowed = nullptr;
    int borrowedRows = 0;
};

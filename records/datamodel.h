#pragma once

#include <QAbstractTableModel>
#include <QList>

#include "columnheader.h"

class DmmData;

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
    QVariant headerData(int section, Qt::Orientation orientation,
        int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int appendReading(const DmmData* reading);
    int setReadings(const QList<DmmData*>& readings);
    void clear();

    const DmmData* reading(int row) const;

    // Called by an item just before it deletes these readings: every table showing any of them
    // is emptied, so a view never dereferences a deleted reading.
    static void forgetReadings(const QList<DmmData*>& readings);

private:
    bool showsAnyOf(const QList<DmmData*>& readings) const;

    QList<DmmData*> rows;
    QList<ColumnHeader*> headers;
};

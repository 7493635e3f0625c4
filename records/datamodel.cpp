#include "datamodel.h"

#include "dmmdata.h"

#include <QSet>

namespace {
// Every live table, so that an item about to delete its readings can empty the tables showing
// them. GUI thread only, like the models themselves.
QList<DataModel*>& liveModels()
{
    static QList<DataModel*> models;
    return models;
}

constexpr int ColumnCount = 6;
}

DataModel::DataModel(const QList<ColumnHeader*>& headers, QObject* parent)
    : QAbstractTableModel(parent)
    , headers(headers)
{
    liveModels().append(this);
}

DataModel::~DataModel()
{
    liveModels().removeOne(this);
}

int DataModel::rowCount(const QModelIndex& parent) const
{
    // A table has no children: answering the row count under a valid parent would describe an
    // endless tree to views and proxies.
    return parent.isValid() ? 0 : rows.size();
}

int DataModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DataModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows.size() || index.column() >= ColumnCount)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignHCenter | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();

    const DmmData* r = rows.at(index.row());
    switch (index.column()) {
    case 0:
        return r->fromStore() ? r->storeIndex() : index.row() + 1;
    case 1:
        return r->dateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case 2:
        return r->detection();
    case 3:
        return r->text(0);
    case 4:
        return r->unit().text;
    case 5:
        return r->band();
    }
    return QVariant();
}

QVariant DataModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= headers.size() || !headers.at(section))
        return QVariant();
    return headers.at(section)->title;
}

bool DataModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || row >= rows.size() || count <= 0)
        return false;
    // Only rows that exist are announced: announcing missing ones corrupts every attached view.
    const int last = int(qMin<qint64>(qint64(row) + count, rows.size()) - 1);
    beginRemoveRows(QModelIndex(), row, last);
    rows.erase(rows.begin() + row, rows.begin() + last + 1);
    endRemoveRows();
    // Live rows are numbered by position: the numbers below the gap have changed.
    if (row < rows.size())
        emit dataChanged(index(row, 0), index(rows.size() - 1, 0), { Qt::DisplayRole });
    return true;
}

Qt::ItemFlags DataModel::flags(const QModelIndex& index) const
{
    return QAbstractTableModel::flags(index);
}

int DataModel::appendReading(const DmmData* reading)
{
    if (!reading)
        return rows.size();
    const int row = rows.size();
    beginInsertRows(QModelIndex(), row, row);
    rows.append(const_cast<DmmData*>(reading));
    endInsertRows();
    return rows.size();
}

int DataModel::setReadings(const QList<DmmData*>& readings)
{
    if (readings.isEmpty())
        return rows.size();
    const int first = rows.size();
    beginInsertRows(QModelIndex(), first, first + readings.size() - 1);
    // Meant for an empty table; appending keeps the announced rows true if it is not.
    if (rows.isEmpty())
        rows = readings;
    else
        rows.append(readings);
    endInsertRows();
    return rows.size();
}

void DataModel::clear()
{
    if (rows.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, rows.size() - 1);
    rows.clear();
    endRemoveRows();
}

const DmmData* DataModel::reading(int row) const
{
    return row >= 0 && row < rows.size() ? rows.at(row) : nullptr;
}

bool DataModel::showsAnyOf(const QList<DmmData*>& readings) const
{
    if (rows.isEmpty() || readings.isEmpty())
        return false;
    // The usual case: the table shows exactly this item, so its first row is one of them.
    if (readings.contains(rows.first()))
        return true;
    const QSet<DmmData*> doomed(readings.cbegin(), readings.cend());
    for (DmmData* r : rows) {
        if (doomed.contains(r))
            return true;
    }
    return false;
}

void DataModel::forgetReadings(const QList<DmmData*>& readings)
{
    for (DataModel* model : liveModels()) {
        if (model->showsAnyOf(readings))
            model->clear();
    }
}

#include "datamodel.h"

#include "dmmdata.h"
#include "itemdata.h"

namespace {
constexpr int ColumnCount = 6;

// "yyyy-MM-dd hh:mm:ss", as QDateTime::toString writes it, without parsing the format for every
// cell: exports ask for every row of a large item.
QString dateTimeText(const QDateTime& dateTime)
{
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    if (!date.isValid() || !time.isValid() || date.year() < 1000 || date.year() > 9999)
        return dateTime.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    QChar text[19];
    auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = QLatin1Char(char('0' + value % 10));
    };
    put(0, date.year(), 4);
    text[4] = QLatin1Char('-');
    put(5, date.month(), 2);
    text[7] = QLatin1Char('-');
    put(8, date.day(), 2);
    text[10] = QLatin1Char(' ');
    put(11, time.hour(), 2);
    text[13] = QLatin1Char(':');
    put(14, time.minute(), 2);
    text[16] = QLatin1Char(':');
    put(17, time.second(), 2);
    return QString(text, 19);
}
}

DataModel::DataModel(const QList<ColumnHeader*>& headers, QObject* parent)
    : QAbstractTableModel(parent)
    , headers(headers)
{ }

DataModel::~DataModel() = default;

int DataModel::rowCount(const QModelIndex& parent) const
{
    // A table has no children: answering the row count under a valid parent would describe an
    // endless tree to views and proxies.
    return parent.isValid() ? 0 : size();
}

int DataModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DataModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= size() || index.column() >= ColumnCount)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignHCenter | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();

    const DmmData* r = at(index.row());
    switch (index.column()) {
    case 0:
        return r->fromStore() ? r->storeIndex() : index.row() + 1;
    case 1:
        return dateTimeText(r->dateTime());
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
    if (parent.isValid() || row < 0 || row >= size() || count <= 0)
        return false;
    takeOwnRows();
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

int DataModel::appendReading(DmmData* reading)
{
    if (!reading)
        return size();
    if (borrowed && borrowedRows < borrowed->readingCount()
        && borrowed->readingAt(borrowedRows) == reading) {
        // The shown item's next reading: its list already holds it.
        beginInsertRows(QModelIndex(), borrowedRows, borrowedRows);
        ++borrowedRows;
        endInsertRows();
        return borrowedRows;
    }
    takeOwnRows();
    const int row = rows.size();
    if (row == 0)
        followOwnerOf(reading);
    beginInsertRows(QModelIndex(), row, row);
    rows.append(reading);
    endInsertRows();
    return rows.size();
}

int DataModel::setReadings(const QList<DmmData*>& readings)
{
    if (readings.isEmpty())
        return size();
    takeOwnRows();
    const int first = rows.size();
    if (first == 0)
        followOwnerOf(readings.first());
    beginInsertRows(QModelIndex(), first, first + readings.size() - 1);
    // Meant for an empty table; appending keeps the announced rows true if it is not.
    rows += readings;
    endInsertRows();
    return rows.size();
}

void DataModel::clear()
{
    if (size() == 0) {
        borrowed = nullptr;
        return;
    }
    beginRemoveRows(QModelIndex(), 0, size() - 1);
    rows.clear();
    borrowed = nullptr;
    borrowedRows = 0;
    endRemoveRows();
}

const DmmData* DataModel::reading(int row) const
{
    return row >= 0 && row < size() ? at(row) : nullptr;
}

DmmData* DataModel::at(int row) const
{
    return borrowed ? borrowed->readingAt(row) : rows.at(row);
}

void DataModel::takeOwnRows()
{
    if (!borrowed)
        return;
    rows.clear();
    rows.reserve(borrowedRows);
    for (int row = 0; row < borrowedRows; ++row)
        rows.append(borrowed->readingAt(row));
    borrowed = nullptr;
    borrowedRows = 0;
}

void DataModel::showItem(ItemData* item)
{
    // One reset rather than removing the old rows and inserting the new: the views then build
    // their rows once, instead of moving what follows each announced span.
    beginResetModel();
    rows.clear();
    borrowed = nullptr;
    follow(item);
    borrowed = item;
    borrowedRows = item ? item->readingCount() : 0;
    endResetModel();
}

void DataModel::addReading(ItemData* item, const DmmData* reading)
{
    // The item's own pointer: the row list holds the readings as the item does.
    if (item && item == shown && reading && item->lastReading() == reading)
        appendReading(item->readingAt(item->readingCount() - 1));
}

void DataModel::follow(ItemData* item)
{
    if (item == shown)
        return;
    forgetItem();
    shown = item;
    if (!item)
        return;
    connect(item, &ItemData::readingsAboutToBeCleared, this, &DataModel::clear);
    connect(item, &QObject::destroyed, this, &DataModel::forgetItem);
}

void DataModel::followOwnerOf(const DmmData* reading)
{
    if (auto* owner = qobject_cast<ItemData*>(reading ? reading->parent() : nullptr))
        follow(owner);
}

void DataModel::forgetItem()
{
    takeOwnRows();
    if (shown)
        disconnect(shown, nullptr, this, nullptr);
    shown = nullptr;
}

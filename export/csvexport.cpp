#include "csvexport.h"

#include "columnheader.h"
#include "csvrow.h"
#include "datamodel.h"
#include "dmmdata.h"
#include "targetfile.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

namespace {

constexpr int TimeColumn = 1;

QString cellText(const QAbstractItemModel* model, int row, int column)
{
    // The table shows whole seconds; the file keeps the reading's milliseconds, so that readings
    // a quarter second apart keep their own times.
    if (column == TimeColumn) {
        if (const auto* table = qobject_cast<const DataModel*>(model)) {
            if (const DmmData* reading = table->reading(row))
                return CsvRow::time(reading->dateTime());
        }
    }
    const QVariant value = model->index(row, column).data(Qt::DisplayRole);
    // A model that hands out real dates still gets the one date form spreadsheets all read.
    if (value.type() == QVariant::DateTime)
        return CsvRow::time(value.toDateTime());
    return value.toString();
}

} // namespace

QString CsvExport::field(const QString& text)
{
    return CsvRow::field(text);
}

namespace {

// Hands the CSV text to sink in pieces of about this size, so that a large table is never held
// whole in memory.
constexpr int ChunkBytes = 1 << 18;

template <typename Sink>
bool produce(const QAbstractItemModel* model, const QList<ColumnHeader*>& headers, Sink sink)
{
    QStringList titles;
    for (const ColumnHeader* header : headers)
        titles << (header ? header->title : QString());
    QByteArray chunk = CsvRow::line(titles);
    chunk.reserve(ChunkBytes + 1024);
    const auto flushFull = [&chunk, &sink] {
        if (chunk.size() < ChunkBytes)
            return true;
        const bool taken = sink(chunk);
        chunk.resize(0);
        return taken;
    };
    const int rows = model ? model->rowCount() : 0;
    // The header list decides the columns, as in the table view; a narrower model leaves the
    // missing cells empty rather than shifting the columns.
    const int columns = headers.size();
    const int modelColumns = model ? model->columnCount() : 0;
    // The reading table's own rows are written from the readings, as the logger writes them,
    // rather than through the model's variants.
    const auto* table = qobject_cast<const DataModel*>(model);
    const bool direct = table && columns == modelColumns && columns == CsvRow::ReadingFields;
    for (int row = 0; row < rows; ++row) {
        if (direct) {
            const DmmData* reading = table->reading(row);
            CsvRow::appendReading(
                chunk, *reading, reading->fromStore() ? reading->storeIndex() : row + 1);
        } else {
            QStringList cells;
            cells.reserve(columns);
            for (int column = 0; column < columns; ++column)
                cells << (column < modelColumns ? cellText(model, row, column) : QString());
            chunk += CsvRow::line(cells);
        }
        if (!flushFull())
            return false;
    }
    return chunk.isEmpty() || sink(chunk);
}

} // namespace

QByteArray CsvExport::toCsv(const QAbstractItemModel* model, const QList<ColumnHeader*>& headers)
{
    QByteArray csv;
    produce(model, headers, [&csv](const QByteArray& chunk) {
        csv += chunk;
        return true;
    });
    return csv;
}

bool CsvExport::write(const QAbstractItemModel* model, const QList<ColumnHeader*>& headers,
    const QString& fileName, QString* error)
{
    if (!model || headers.isEmpty() || fileName.isEmpty()) {
        if (error)
            *error = QCoreApplication::translate("CsvExport", "There is no table to export.");
        return false;
    }
    TargetFile target(fileName);
    const bool opened = target.open(QIODevice::Unbuffered);
    bool written = opened && produce(model, headers, [&target](const QByteArray& chunk) {
        return target.writeAll(chunk);
    });
    if (opened)
        written = target.commit() && written;
    if (!written && error)
        *error = target.errorString();
    return written;
}

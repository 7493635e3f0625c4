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

QByteArray CsvExport::toCsv(const QAbstractItemModel* model, const QList<ColumnHeader*>& headers)
{
    QStringList titles;
    for (const ColumnHeader* header : headers)
        titles << (header ? header->title : QString());
    QByteArray csv = CsvRow::line(titles);
    if (!model)
        return csv;

    // The header list decides the columns, as in the table view; a narrower model leaves the
    // missing cells empty rather than shifting the columns.
    const int columns = headers.size();
    const int modelColumns = model->columnCount();
    const int rows = model->rowCount();
    for (int row = 0; row < rows; ++row) {
        QStringList cells;
        cells.reserve(columns);
        for (int column = 0; column < columns; ++column)
            cells << (column < modelColumns ? cellText(model, row, column) : QString());
        csv += CsvRow::line(cells);
    }
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
    return TargetFile::writeWhole(fileName, toCsv(model, headers), error);
}

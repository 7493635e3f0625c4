#include "csvexport.h"

#include "columnheader.h"
#include "csvrow.h"
#include "datamodel.h"
#include "dmmdata.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
constexpr int TimeColumn = 1;

QString cellText(const QAbstractItemModel* model, int row, int column)
{
    // The table shows whole seconds; the file keeps the reading's milliseconds, so that readings
    // a quarter second apart keep their own times.
    if (column == TimeColumn) {
        if (const auto* table = qobject_cast<const DataModel*>(model)) {
            if (const DmmData* reading = table->reading(row))
                return reading->dateTime().toString(TimeFormat);
        }
    }
    const QVariant value = model->index(row, column).data(Qt::DisplayRole);
    // A model that hands out real dates still gets the one date form spreadsheets all read.
    if (value.type() == QVariant::DateTime)
        return value.toDateTime().toString(TimeFormat);
    return value.toString();
}

QByteArray line(const QStringList& fields)
{
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& text : fields)
        quoted << CsvExport::field(text);
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
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
    QByteArray csv = line(titles);
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
        csv += line(cells);
    }
    return csv;
}

bool CsvExport::write(
    const QAbstractItemModel* model, const QList<ColumnHeader*>& headers, const QString& fileName)
{
    if (!model || headers.isEmpty() || fileName.isEmpty())
        return false;
    const QByteArray csv = toCsv(model, headers);

    // A regular file is replaced as a whole or not at all. Anything else that exists (a device, a
    // pipe) cannot be swapped for a new file and is written in place.
    const QFileInfo target(fileName);
    if (target.exists() && !target.isFile()) {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const bool written = file.write(csv) == csv.size() && file.flush();
        file.close();
        return written && file.error() == QFileDevice::NoError;
    }

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(csv) != csv.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

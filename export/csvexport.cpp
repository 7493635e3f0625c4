#include "csvexport.h"

#include "columnheader.h"
#include "datamodel.h"
#include "dmmdata.h"
#include "targetfile.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <cmath>

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

bool isControl(QChar c)
{
    const ushort u = c.unicode();
    if (u == '\t' || u == '\n' || u == '\r')
        return false;
    return u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0);
}

bool isNumber(const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    return ok && std::isfinite(value);
}

} // namespace

QString CsvExport::field(const QString& text)
{
    QString cell = text;
    for (QChar& c : cell) {
        if (isControl(c))
            c = QChar(QChar::ReplacementCharacter);
    }
    // Spreadsheets run a cell that starts like this as a formula, with the user's rights.
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!cell.isEmpty() && formulaStarts.contains(cell.at(0)) && !isNumber(cell))
        cell.prepend(QLatin1Char('\''));

    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"'))
        && !cell.contains(QLatin1Char('\n')) && !cell.contains(QLatin1Char('\r')))
        return cell;
    cell.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + cell + QLatin1Char('"');
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

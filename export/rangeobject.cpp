#include "rangeobject.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

bool isDateFormat(const QString& format)
{
    bool quoted = false;
    bool bracket = false;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == QLatin1Char('\\')) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            bracket = true;
        } else if (c == QLatin1Char(']')) {
            bracket = false;
        } else if (!bracket && QStringLiteral("ymdhsYMDHS").contains(c)) {
            return true;
        }
    }
    return false;
}

bool isTextFormat(const QString& format)
{
    return format == QLatin1String("@");
}

// Days since 1899-12-30 with the time as a fraction: the 1900 date system, in which the serial
// of every date from March 1900 on counts the non-existent 1900-02-29.
bool dateSerial(const QDate& date, const QTime& time, double* serial)
{
    if (!date.isValid() || !time.isValid() || date < QDate(1900, 1, 1)
        || date > QDate(9999, 12, 31))
        return false;
    qint64 days = QDate(1899, 12, 30).daysTo(date);
    if (date < QDate(1900, 3, 1))
        --days;
    *serial = double(days) + time.msecsSinceStartOfDay() / 86400000.0;
    return true;
}

// Reads a run of 1..maxDigits digits at pos.
bool number(const QString& text, int& pos, int maxDigits, int* value)
{
    int digits = 0;
    *value = 0;
    while (pos < text.size() && digits < maxDigits && text.at(pos).isDigit()) {
        *value = *value * 10 + text.at(pos).digitValue();
        ++pos;
        ++digits;
    }
    return digits > 0;
}

// "yyyy-MM-dd", "yyyy/MM/dd", either followed by " hh:mm[:ss]" or "Thh:mm[:ss]". Parsed by hand:
// QDateTime's parser consults the local time zone, which costs a file lookup per cell.
bool parseDateTime(const QString& input, QDate* date, QTime* time)
{
    const QString text = input.trimmed();
    int pos = 0, y, mo, d, h = 0, mi = 0, sec = 0;
    if (!number(text, pos, 4, &y) || pos != 4 || pos >= text.size())
        return false;
    const QChar separator = text.at(pos);
    if (separator != QLatin1Char('-') && separator != QLatin1Char('/'))
        return false;
    ++pos;
    if (!number(text, pos, 2, &mo) || pos >= text.size() || text.at(pos) != separator)
        return false;
    ++pos;
    if (!number(text, pos, 2, &d))
        return false;
    if (pos < text.size()) {
        if (text.at(pos) != QLatin1Char(' ') && text.at(pos) != QLatin1Char('T'))
            return false;
        ++pos;
        if (!number(text, pos, 2, &h) || pos >= text.size() || text.at(pos) != QLatin1Char(':'))
            return false;
        ++pos;
        if (!number(text, pos, 2, &mi))
            return false;
        if (pos < text.size()) {
            if (text.at(pos) != QLatin1Char(':'))
                return false;
            ++pos;
            if (!number(text, pos, 2, &sec) || pos != text.size())
                return false;
        }
    }
    *date = QDate(y, mo, d);
    *time = QTime(h, mi, sec);
    return date->isValid() && time->isValid();
}

// What a spreadsheet server makes of a value put into a cell of the given number format.
XlsCell makeCell(const QVariant& value, int format, const QString& formatText)
{
    XlsCell cell;
    cell.format = format;
    switch (int(value.type())) {
    case QMetaType::UnknownType:
        return cell;
    case QMetaType::Bool:
        cell.type = XlsCell::Boolean;
        cell.number = value.toBool() ? 1.0 : 0.0;
        return cell;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong: {
        const double number = value.toDouble();
        if (std::isfinite(number)) {
            cell.type = XlsCell::Number;
            cell.number = number;
            return cell;
        }
        break;
    }
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        const QDateTime dt = value.toDateTime();
        double serial;
        if (dateSerial(dt.date(), dt.time(), &serial)) {
            cell.type = XlsCell::Number;
            cell.number = serial;
            return cell;
        }
        break;
    }
    default:
        break;
    }

    const QString text = value.toString();
    if (text.isEmpty())
        return cell;
    if (!isTextFormat(formatText)) {
        double serial;
        QDate date;
        QTime time;
        if (isDateFormat(formatText) && parseDateTime(text, &date, &time)
            && dateSerial(date, time, &serial)) {
            cell.type = XlsCell::Number;
            cell.number = serial;
            return cell;
        }
        bool ok = false;
        const double number = QLocale::c().toDouble(text.trimmed(), &ok);
        if (ok && std::isfinite(number)) {
            cell.type = XlsCell::Number;
            cell.number = number;
            return cell;
        }
    }
    cell.type = XlsCell::Text;
    cell.text = text.left(XlsWriter::maxTextLength);
    return cell;
}

// Characters a date format shows; -1 for formats that are not dates.
int dateFormatWidth(const QString& format)
{
    if (!isDateFormat(format))
        return -1;
    QString plain = format;
    plain.remove(QRegularExpression(QStringLiteral("\\[[^\\]]*\\]|[\"\\\\]")));
    return plain.size();
}

// Characters a cell shows, East Asian wide characters counted twice.
int displayWidth(const XlsCell& cell, int dateWidth)
{
    QString shown;
    switch (cell.type) {
    case XlsCell::Empty:
        return 0;
    case XlsCell::Boolean:
        return 5;
    case XlsCell::Text:
        shown = cell.text;
        break;
    case XlsCell::Number:
        if (dateWidth >= 0)
            return dateWidth;
        shown = QString::number(cell.number, 'g', 10);
        break;
    }
    int widest = 0;
    int width = 0;
    for (QChar c : shown) {
        if (c == QLatin1Char('\n')) {
            width = 0;
            continue;
        }
        width += c.unicode() >= 0x2E80 ? 2 : 1;
        widest = std::max(widest, width);
    }
    return widest;
}

} // namespace

RangeObject::RangeObject(std::shared_ptr<Workbook> book, int sheet, CellRect rect, QObject* parent)
    : ModelObject(parent)
    , book(std::move(book))
    , sheetIndex(sheet)
    , rect(rect)
{ }

QVariant RangeObject::dynamicCall(const char* function, const QVariant& var1, const QVariant&,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&)
{
    const QByteArray name = memberName(function);
    if (name == "value" || name == "setvalue" || name == "value2" || name == "setvalue2") {
        if (name.startsWith("set") || var1.isValid()) {
            assign(var1);
            return QVariant();
        }
        return valueAt(rect.top, rect.left);
    }
    if (name == "setnumberformat" || name == "numberformat") {
        if (var1.isValid())
            setFormat(var1.toString());
        return QVariant();
    }
    if (name == "autofit") {
        autoFit();
        return true;
    }
    if (name == "row")
        return rect.top;
    if (name == "column")
        return rect.left;
    return QVariant();
}

AutomationObject* RangeObject::querySubObject(const char* name, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&)
{
    if (memberName(name) == "columns")
        return new RangeObject(book, sheetIndex, rect, this);
    return nullptr;
}

bool RangeObject::setProperty(const char* name, const QVariant& value)
{
    const QByteArray member = memberName(name);
    if (member == "value" || member == "value2") {
        assign(value);
        return true;
    }
    if (member == "numberformat") {
        setFormat(value.toString());
        return true;
    }
    return false;
}

WorkbookSheet& RangeObject::sheet()
{
    return book->sheets[sheetIndex];
}

XlsCell& RangeObject::cell(int row, int column)
{
    auto& rows = sheet().rows;
    if (rows.size() < row)
        rows.resize(row);
    auto& cells = rows[row - 1];
    if (cells.size() < column)
        cells.resize(column);
    return cells[column - 1];
}

QVariant RangeObject::valueAt(int row, int column) const
{
    const auto& rows = book->sheets.at(sheetIndex).rows;
    if (row > rows.size() || column > rows.at(row - 1).size())
        return QVariant();
    const XlsCell& c = rows.at(row - 1).at(column - 1);
    switch (c.type) {
    case XlsCell::Number:
        return c.number;
    case XlsCell::Text:
        return c.text;
    case XlsCell::Boolean:
        return c.number != 0.0;
    case XlsCell::Empty:
        break;
    }
    return QVariant();
}

void RangeObject::put(int row, int column, const QVariant& value)
{
    XlsCell& target = cell(row, column);
    target = makeCell(value, target.format, book->formats.at(target.format));
}

// A list of row lists fills the range from its top left corner; a flat list is one row; a single
// value goes into every cell. Cells beyond the data keep what they had.
void RangeObject::assign(const QVariant& value)
{
    if (value.type() != QVariant::List) {
        for (int r = rect.top; r <= rect.bottom; ++r)
            for (int c = rect.left; c <= rect.right; ++c)
                put(r, c, value);
        return;
    }
    const QVariantList list = value.toList();
    const bool nested = !list.isEmpty() && list.first().type() == QVariant::List;
    const QVariantList rowsData = nested ? list : QVariantList { QVariant(list) };
    for (int i = 0; i < rowsData.size() && rect.top + i <= rect.bottom; ++i) {
        const QVariantList row = rowsData.at(i).toList();
        for (int j = 0; j < row.size() && rect.left + j <= rect.right; ++j)
            put(rect.top + i, rect.left + j, row.at(j));
    }
}

void RangeObject::setFormat(const QString& format)
{
    int index = book->formats.indexOf(format);
    if (format.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        index = 0;
    if (index < 0) {
        book->formats << format;
        index = book->formats.size() - 1;
    }
    for (int r = rect.top; r <= rect.bottom; ++r)
        for (int c = rect.left; c <= rect.right; ++c)
            cell(r, c).format = index;
}

// Fits whole columns to everything they hold, as the server does for Columns.AutoFit.
void RangeObject::autoFit()
{
    WorkbookSheet& s = sheet();
    if (s.columnWidths.size() < rect.right)
        s.columnWidths.resize(rect.right);
    QVector<int> dateWidths;
    for (const QString& format : qAsConst(book->formats))
        dateWidths << dateFormatWidth(format);
    for (int c = rect.left; c <= rect.right; ++c) {
        int widest = 0;
        for (const auto& row : s.rows) {
            if (row.size() >= c) {
                const XlsCell& x = row.at(c - 1);
                widest = std::max(widest, displayWidth(x, dateWidths.at(x.format)));
            }
        }
        // One character of padding; an empty column keeps the default width.
        s.columnWidths[c - 1] = widest > 0 ? std::min(255, widest + 1) * 256 : 0;
    }
}

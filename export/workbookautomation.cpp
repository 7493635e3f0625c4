#include "workbookautomation.h"

#include "xlswriter.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

struct WorkbookSheet
{
    QString name;
    QVector<QVector<XlsCell>> rows;
    QVector<int> columnWidths;
};

struct Workbook
{
    QStringList formats { QStringLiteral("General") };
    QVector<WorkbookSheet> sheets;
};

struct WorkbookApplicationState
{
    bool bound = false;
    bool visible = false;
    bool displayAlerts = true;
    QList<std::shared_ptr<Workbook>> books;
    std::shared_ptr<Workbook> active;
};

namespace {

// The .xls (BIFF8) workbook format; the server also accepts 56 for the same format.
constexpr int formatWorkbookXls = -4143;
constexpr int formatBiff8 = 56;

// "SaveAs(const QString &,int,...)" and "saveas" name the same member.
QByteArray memberName(const char* function)
{
    QByteArray name(function);
    const int paren = name.indexOf('(');
    if (paren >= 0)
        name.truncate(paren);
    return name.trimmed().toLower();
}

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

bool parseCell(const QString& text, int* row, int* column)
{
    static const QRegularExpression re(QStringLiteral("^\\$?([A-Za-z]{1,3})\\$?([0-9]{1,7})$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    int c = 0;
    for (QChar ch : m.captured(1).toUpper())
        c = c * 26 + (ch.unicode() - 'A' + 1);
    const int r = m.captured(2).toInt();
    if (c < 1 || c > XlsWriter::maxColumns || r < 1 || r > XlsWriter::maxRows)
        return false;
    *row = r;
    *column = c;
    return true;
}

struct CellRect
{
    int top = 1, left = 1, bottom = 1, right = 1;
};

bool parseRange(const QString& text, CellRect* rect)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return false;
    int r1, c1;
    if (!parseCell(parts.at(0), &r1, &c1))
        return false;
    int r2 = r1, c2 = c1;
    if (parts.size() == 2 && !parseCell(parts.at(1), &r2, &c2))
        return false;
    // Like a spreadsheet server, "B2:B1" means the cells between both corners.
    rect->top = std::min(r1, r2);
    rect->bottom = std::max(r1, r2);
    rect->left = std::min(c1, c2);
    rect->right = std::max(c1, c2);
    return true;
}

// Common ground of the component's objects: unknown members do nothing, like a failed call.
class ModelObject : public AutomationObject
{
public:
    using AutomationObject::AutomationObject;

    bool setControl(const QString&) override { return false; }
    QVariant dynamicCall(const char*, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        return QVariant();
    }
    AutomationObject* querySubObject(const char*, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        return nullptr;
    }
    bool setProperty(const char*, const QVariant&) override { return false; }
};

class RangeObject : public ModelObject
{
public:
    RangeObject(std::shared_ptr<Workbook> book, int sheet, CellRect rect, QObject* parent)
        : ModelObject(parent)
        , book(std::move(book))
        , sheetIndex(sheet)
        , rect(rect)
    { }

    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant&,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
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

    AutomationObject* querySubObject(const char* name, const QVariant&, const QVariant&,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        if (memberName(name) == "columns")
            return new RangeObject(book, sheetIndex, rect, this);
        return nullptr;
    }

    bool setProperty(const char* name, const QVariant& value) override
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

private:
    WorkbookSheet& sheet() { return book->sheets[sheetIndex]; }

    XlsCell& cell(int row, int column)
    {
        auto& rows = sheet().rows;
        if (rows.size() < row)
            rows.resize(row);
        auto& cells = rows[row - 1];
        if (cells.size() < column)
            cells.resize(column);
        return cells[column - 1];
    }

    QVariant valueAt(int row, int column) const
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

    void put(int row, int column, const QVariant& value)
    {
        XlsCell& target = cell(row, column);
        target = makeCell(value, target.format, book->formats.at(target.format));
    }

    // A list of row lists fills the range from its top left corner; a flat list is one row; a
    // single value goes into every cell. Cells beyond the data keep what they had.
    void assign(const QVariant& value)
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

    void setFormat(const QString& format)
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
    void autoFit()
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

    std::shared_ptr<Workbook> book;
    int sheetIndex;
    CellRect rect;
};

class WorksheetObject : public ModelObject
{
public:
    WorksheetObject(std::shared_ptr<Workbook> book, int sheet, QObject* parent)
        : ModelObject(parent)
        , book(std::move(book))
        , sheetIndex(sheet)
    { }

    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant&,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        const QByteArray name = memberName(function);
        if (name == "name")
            return var1.isValid() ? (setProperty("Name", var1), QVariant()) : QVariant(sheetName());
        return QVariant();
    }

    AutomationObject* querySubObject(const char* name, const QVariant& var1, const QVariant& var2,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        const QByteArray member = memberName(name);
        CellRect rect;
        if (member == "cells") {
            bool rowOk = false, columnOk = false;
            const int row = var1.toInt(&rowOk);
            const int column = var2.toInt(&columnOk);
            if (!rowOk || !columnOk || row < 1 || row > XlsWriter::maxRows || column < 1
                || column > XlsWriter::maxColumns)
                return nullptr;
            rect = { row, column, row, column };
        } else if (member == "range") {
            if (!parseRange(var1.toString(), &rect))
                return nullptr;
        } else if (member == "usedrange") {
            rect = usedRange();
        } else {
            return nullptr;
        }
        return new RangeObject(book, sheetIndex, rect, this);
    }

    bool setProperty(const char* name, const QVariant& value) override
    {
        if (memberName(name) != "name" || value.toString().isEmpty())
            return false;
        book->sheets[sheetIndex].name = value.toString().left(31);
        return true;
    }

private:
    QString sheetName() const { return book->sheets.at(sheetIndex).name; }

    // The cells that hold a value or a number format; A1 alone on an untouched sheet.
    CellRect usedRange() const
    {
        const auto& rows = book->sheets.at(sheetIndex).rows;
        CellRect rect { 0, 0, 0, 0 };
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < rows.at(r).size(); ++c) {
                const XlsCell& x = rows.at(r).at(c);
                if (x.type == XlsCell::Empty && x.format == 0)
                    continue;
                if (rect.top == 0) {
                    rect = { r + 1, c + 1, r + 1, c + 1 };
                    continue;
                }
                rect.top = std::min(rect.top, r + 1);
                rect.bottom = std::max(rect.bottom, r + 1);
                rect.left = std::min(rect.left, c + 1);
                rect.right = std::max(rect.right, c + 1);
            }
        }
        if (rect.top == 0)
            rect = CellRect();
        return rect;
    }

    std::shared_ptr<Workbook> book;
    int sheetIndex;
};

class SheetsObject : public ModelObject
{
public:
    SheetsObject(std::shared_ptr<Workbook> book, QObject* parent)
        : ModelObject(parent)
        , book(std::move(book))
    { }

    QVariant dynamicCall(const char* function, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        if (memberName(function) == "count")
            return book->sheets.size();
        return QVariant();
    }

    AutomationObject* querySubObject(const char* name, const QVariant& var1, const QVariant&,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        if (memberName(name) != "item")
            return nullptr;
        // Sheets are counted from 1 or named.
        int index = -1;
        bool isNumber = false;
        const int number = var1.toInt(&isNumber);
        if (isNumber) {
            index = number - 1;
        } else {
            for (int i = 0; i < book->sheets.size(); ++i)
                if (book->sheets.at(i).name.compare(var1.toString(), Qt::CaseInsensitive) == 0)
                    index = i;
        }
        if (index < 0 || index >= book->sheets.size())
            return nullptr;
        return new WorksheetObject(book, index, this);
    }

private:
    std::shared_ptr<Workbook> book;
};

class WorkbookObject : public ModelObject
{
public:
    WorkbookObject(std::shared_ptr<WorkbookApplicationState> state, std::shared_ptr<Workbook> book,
        QObject* parent)
        : ModelObject(parent)
        , state(std::move(state))
        , book(std::move(book))
    { }

    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant& var2,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        const QByteArray name = memberName(function);
        if (name == "saveas")
            return saveAs(var1.toString(), var2);
        if (name == "close") {
            close();
            return true;
        }
        return QVariant();
    }

    AutomationObject* querySubObject(const char* name, const QVariant&, const QVariant&,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        const QByteArray member = memberName(name);
        if (member == "sheets" || member == "worksheets")
            return new SheetsObject(book, this);
        return nullptr;
    }

private:
    bool saveAs(const QString& fileName, const QVariant& format)
    {
        if (fileName.isEmpty() || !state->books.contains(book))
            return false;
        if (format.isValid()) {
            const int code = format.toInt();
            if (code != formatWorkbookXls && code != formatBiff8)
                return false;
        }
        QVector<XlsSheet> sheets;
        for (const WorkbookSheet& s : book->sheets)
            sheets << XlsSheet { s.name, s.rows, s.columnWidths };
        XlsWriter writer(book->formats);
        return writer.write(fileName, sheets);
    }

    void close()
    {
        state->books.removeAll(book);
        if (state->active == book)
            state->active = state->books.isEmpty() ? nullptr : state->books.last();
    }

    std::shared_ptr<WorkbookApplicationState> state;
    std::shared_ptr<Workbook> book;
};

class WorkbooksObject : public ModelObject
{
public:
    WorkbooksObject(std::shared_ptr<WorkbookApplicationState> state, QObject* parent)
        : ModelObject(parent)
        , state(std::move(state))
    { }

    QVariant dynamicCall(const char* function, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&, const QVariant&, const QVariant&, const QVariant&,
        const QVariant&) override
    {
        const QByteArray name = memberName(function);
        if (name == "add") {
            auto book = std::make_shared<Workbook>();
            book->sheets << WorkbookSheet { QStringLiteral("Sheet1"), {}, {} };
            state->books << book;
            state->active = book;
            return true;
        }
        if (name == "count")
            return state->books.size();
        return QVariant();
    }

private:
    std::shared_ptr<WorkbookApplicationState> state;
};

} // namespace

WorkbookAutomation::WorkbookAutomation(QObject* parent)
    : AutomationObject(parent)
    , state(std::make_shared<WorkbookApplicationState>())
{ }

WorkbookAutomation::~WorkbookAutomation() = default;

bool WorkbookAutomation::setControl(const QString& id)
{
    state->bound = id.compare(progId(), Qt::CaseInsensitive) == 0;
    return state->bound;
}

QVariant WorkbookAutomation::dynamicCall(const char* function, const QVariant& var1,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&)
{
    if (!state->bound)
        return QVariant();
    const QByteArray name = memberName(function);
    if (name == "setvisible" || name == "visible") {
        if (var1.isValid())
            state->visible = var1.toBool();
        return state->visible;
    }
    if (name == "displayalerts" || name == "setdisplayalerts") {
        if (var1.isValid())
            state->displayAlerts = var1.toBool();
        return state->displayAlerts;
    }
    if (name == "quit") {
        state->books.clear();
        state->active.reset();
        return true;
    }
    return QVariant();
}

AutomationObject* WorkbookAutomation::querySubObject(const char* name, const QVariant&,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&)
{
    if (!state->bound)
        return nullptr;
    const QByteArray member = memberName(name);
    if (member == "workbooks")
        return new WorkbooksObject(state, this);
    if (member == "activeworkbook" && state->active)
        return new WorkbookObject(state, state->active, this);
    return nullptr;
}

bool WorkbookAutomation::setProperty(const char* name, const QVariant& value)
{
    if (!state->bound)
        return false;
    const QByteArray member = memberName(name);
    if (member == "displayalerts") {
        state->displayAlerts = value.toBool();
        return true;
    }
    if (member == "visible") {
        state->visible = value.toBool();
        return true;
    }
    return false;
}

int WorkbookAutomation::workbookCount() const
{
    return state->books.size();
}

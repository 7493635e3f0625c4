#include "worksheetobject.h"

#include "rangeobject.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

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

} // namespace

WorksheetObject::WorksheetObject(std::shared_ptr<Workbook> book, int sheet, QObject* parent)
    : ModelObject(parent)
    , book(std::move(book))
    , sheetIndex(sheet)
{ }

QVariant WorksheetObject::dynamicCall(const char* function, const QVariant& var1, const QVariant&,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&)
{
    const QByteArray name = memberName(function);
    if (name == "name")
        return var1.isValid() ? (setProperty("Name", var1), QVariant()) : QVariant(sheetName());
    return QVariant();
}

AutomationObject* WorksheetObject::querySubObject(const char* name, const QVariant& var1,
    const QVariant& var2, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&)
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

bool WorksheetObject::setProperty(const char* name, const QVariant& value)
{
    if (memberName(name) != "name" || value.toString().isEmpty())
        return false;
    book->sheets[sheetIndex].name = value.toString().left(31);
    return true;
}

QString WorksheetObject::sheetName() const
{
    return book->sheets.at(sheetIndex).name;
}

// The cells that hold a value or a number format; A1 alone on an untouched sheet.
CellRect WorksheetObject::usedRange() const
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

#include "workbookobject.h"

#include "sheetsobject.h"

namespace {
// The .xls (BIFF8) workbook format; the server also accepts 56 for the same format.
constexpr int formatWorkbookXls = -4143;
constexpr int formatBiff8 = 56;
}

WorkbookObject::WorkbookObject(std::shared_ptr<WorkbookApplicationState> state,
    std::shared_ptr<Workbook> book, QObject* parent)
    : ModelObject(parent)
    , state(std::move(state))
    , book(std::move(book))
{ }

QVariant WorkbookObject::dynamicCall(const char* function, const QVariant& var1,
    const QVariant& var2, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&)
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

AutomationObject* WorkbookObject::querySubObject(const char* name, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&)
{
    const QByteArray member = memberName(name);
    if (member == "sheets" || member == "worksheets")
        return new SheetsObject(book, this);
    return nullptr;
}

bool WorkbookObject::saveAs(const QString& fileName, const QVariant& format)
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

void WorkbookObject::close()
{
    state->books.removeAll(book);
    if (state->active == book)
        state->active = state->books.isEmpty() ? nullptr : state->books.last();
}

#include "sheetsobject.h"

#include "worksheetobject.h"

SheetsObject::SheetsObject(std::shared_ptr<Workbook> book, QObject* parent)
    : ModelObject(parent)
    , book(std::move(book))
{ }

QVariant SheetsObject::dynamicCall(const char* function, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&)
{
    if (memberName(function) == "count")
        return book->sheets.size();
    return QVariant();
}

AutomationObject* SheetsObject::querySubObject(const char* name, const QVariant& var1,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&)
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

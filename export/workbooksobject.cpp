#include "workbooksobject.h"

WorkbooksObject::WorkbooksObject(std::shared_ptr<WorkbookApplicationState> state, QObject* parent)
    : ModelObject(parent)
    , state(std::move(state))
{ }

QVariant WorkbooksObject::dynamicCall(const char* function, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&)
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

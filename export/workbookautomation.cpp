#include "workbookautomation.h"

#include "modelobject.h"
#include "workbookdata.h"
#include "workbookobject.h"
#include "workbooksobject.h"

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
    const QByteArray name = ModelObject::memberName(function);
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
    const QByteArray member = ModelObject::memberName(name);
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
    const QByteArray member = ModelObject::memberName(name);
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

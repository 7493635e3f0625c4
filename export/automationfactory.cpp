#include "automationobject.h"

#include "workbookautomation.h"

// Without COM the in-process component is the only spreadsheet server.
std::unique_ptr<AutomationObject> createAutomationApplication()
{
    return std::make_unique<WorkbookAutomation>();
}

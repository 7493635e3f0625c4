#pragma once

#include "modelobject.h"
#include "workbookdata.h"

#include <memory>

// The application's workbooks: Add makes a new one with one sheet and makes it the active one.
class WorkbooksObject : public ModelObject
{
public:
    WorkbooksObject(std::shared_ptr<WorkbookApplicationState> state, QObject* parent);

    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;

private:
    std::shared_ptr<WorkbookApplicationState> state;
};

#pragma once

#include "modelobject.h"
#include "workbookdata.h"

#include <memory>

// The sheets of one workbook: their count and each sheet by number or name (Item).
class SheetsObject : public ModelObject
{
public:
    SheetsObject(std::shared_ptr<Workbook> book, QObject* parent);

    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;
    AutomationObject* querySubObject(const char* name, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;

private:
    std::shared_ptr<Workbook> book;
};

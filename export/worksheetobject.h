#pragma once

#include "modelobject.h"
#include "workbookdata.h"

#include <memory>

// One sheet of a workbook: its name and the ranges on it (Cells, Range, UsedRange).
class WorksheetObject : public ModelObject
{
public:
    WorksheetObject(std::shared_ptr<Workbook> book, int sheet, QObject* parent);

    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;
    AutomationObject* querySubObject(const char* name, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;
    bool setProperty(const char* name, const QVariant& value) override;

private:
    QString sheetName() const;
    CellRect usedRange() const;

    std::shared_ptr<Workbook> book;
    int sheetIndex;
};

#pragma once

#include "modelobject.h"
#include "workbookdata.h"

#include <memory>

// One open workbook: its sheets, SaveAs (the .xls file) and Close.
class WorkbookObject : public ModelObject
{
public:
    WorkbookObject(std::shared_ptr<WorkbookApplicationState> state, std::shared_ptr<Workbook> book,
        QObject* parent);

    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;
    AutomationObject* querySubObject(const char* name, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;

private:
    bool saveAs(const QString& fileName, const QVariant& format);
    void close();

    std::shared_ptr<WorkbookApplicationState> state;
    std::shared_ptr<Workbook> book;
};

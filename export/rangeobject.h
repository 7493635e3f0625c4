#pragma once

#include "modelobject.h"
#include "workbookdata.h"

#include <memory>

// A rectangle of cells on one sheet (Cells, Range, UsedRange, Columns): values, number formats
// and AutoFit.
class RangeObject : public ModelObject
{
public:
    RangeObject(std::shared_ptr<Workbook> book, int sheet, CellRect rect, QObject* parent);

    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;
    AutomationObject* querySubObject(const char* name, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;
    bool setProperty(const char* name, const QVariant& value) override;

private:
    WorkbookSheet& sheet();
    XlsCell& cell(int row, int column);
    QVariant valueAt(int row, int column) const;
    void put(int row, int column, const QVariant& value);
    void assign(const QVariant& value);
    void setFormat(const QString& format);
    void autoFit();

    std::shared_ptr<Workbook> book;
    int sheetIndex;
    CellRect rect;
};

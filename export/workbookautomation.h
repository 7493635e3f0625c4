#pragma once

#include "automationobject.h"

#include <memory>

struct WorkbookApplicationState;

// The in-process spreadsheet component: the application object of a small automation object
// model (Workbooks, Add, ActiveWorkBook, Sheets, Item, Cells, Range, Value, SetNumberFormat,
// UsedRange, Columns, AutoFit, SaveAs, Close, Quit) that keeps workbooks in memory and saves them
// as .xls (BIFF8) files (file format -4143). Cells behave as in a spreadsheet server: numbers
// stay numbers, a date text put into a date-formatted cell becomes a date serial, cells formatted
// "@" keep text, AutoFit sizes columns from their content.
class WorkbookAutomation : public AutomationObject
{
    Q_OBJECT

public:
    static QString progId() { return QStringLiteral("Excel.Application"); }

    explicit WorkbookAutomation(QObject* parent = nullptr);
    ~WorkbookAutomation() override;

    bool setControl(const QString& progId) override;
    QVariant dynamicCall(const char* function, const QVariant& var1 = QVariant(),
        const QVariant& var2 = QVariant(), const QVariant& var3 = QVariant(),
        const QVariant& var4 = QVariant(), const QVariant& var5 = QVariant(),
        const QVariant& var6 = QVariant(), const QVariant& var7 = QVariant(),
        const QVariant& var8 = QVariant()) override;
    AutomationObject* querySubObject(const char* name, const QVariant& var1 = QVariant(),
        const QVariant& var2 = QVariant(), const QVariant& var3 = QVariant(),
        const QVariant& var4 = QVariant(), const QVariant& var5 = QVariant(),
        const QVariant& var6 = QVariant(), const QVariant& var7 = QVariant(),
        const QVariant& var8 = QVariant()) override;
    bool setProperty(const char* name, const QVariant& value) override;

    // Number of workbooks still open (for checks after Close and Quit).
    int workbookCount() const;

private:
    std::shared_ptr<WorkbookApplicationState> state;
};

#include "xlsexport.h"

#include "columnheader.h"

#include <QAbstractItemModel>
#include <QDir>

XlsExport::XlsExport(AutomationFactory factory)
    : factory(std::move(factory))
{ }

QString XlsExport::columnName(int column)
{
    QString name;
    for (; column > 0; column = (column - 1) / 26)
        name.prepend(QChar('A' + (column - 1) % 26));
    return name;
}

XlsExport::Result XlsExport::write(const QAbstractItemModel* model,
    const QList<ColumnHeader*>& headers, const QString& fileName) const
{
    const int rows = model ? model->rowCount() : 0;
    const int columns = model ? model->columnCount() : 0;
    // A sheet ends at row 65,536; the server would refuse the ranges or, worse, save a cut table.
    if (rows > maxRows)
        return TooManyRows;

    std::unique_ptr<AutomationObject> application = factory ? factory() : nullptr;
    if (!application || !application->setControl(QStringLiteral("Excel.Application")))
        return NoServer;

    application->dynamicCall("SetVisible(bool)", false);
    application->setProperty("DisplayAlerts", false);

    // Wrappers from querySubObject belong to the wrapper they came from; the application
    // wrapper owns them all.
    AutomationObject* workbooks = application->querySubObject("Workbooks");
    if (!workbooks) {
        application->dynamicCall("Quit(void)");
        return Failed;
    }
    workbooks->dynamicCall("Add");
    AutomationObject* workbook = application->querySubObject("ActiveWorkBook");
    AutomationObject* sheets = workbook ? workbook->querySubObject("Sheets") : nullptr;
    AutomationObject* worksheet = sheets ? sheets->querySubObject("Item(int)", 1) : nullptr;

    bool ok = worksheet != nullptr;
    AutomationObject* cell = nullptr;
    AutomationObject* usedRange = nullptr;
    if (ok) {
        for (int i = 0; i < headers.size() && ok; ++i) {
            cell = worksheet->querySubObject("Cells(int,int)", 1, i + 1);
            ok = cell != nullptr;
            if (ok)
                cell->dynamicCall("Value", headers.at(i) ? headers.at(i)->title : QString());
        }
    }

    const QString last = columnName(columns);
    if (ok) {
        AutomationObject* range = worksheet->querySubObject("Range(const QString&)",
            QStringLiteral("B2:%1%2").arg(QStringLiteral("B")).arg(rows + 1));
        ok = range != nullptr;
        if (ok)
            range->dynamicCall(
                "SetNumberFormat(const QString&)", QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    if (ok) {
        AutomationObject* range = worksheet->querySubObject(
            "Range(const QString&)", QStringLiteral("C2:%1%2").arg(last).arg(rows + 1));
        ok = range != nullptr;
        if (ok)
            range->dynamicCall("SetNumberFormat(const QString&)", QStringLiteral("@"));
    }
    if (ok) {
        AutomationObject* range = worksheet->querySubObject(
            "Range(const QString&)", QStringLiteral("A2:%1%2").arg(last).arg(rows + 1));
        ok = range != nullptr;
        if (ok) {
            // Values go as the model gives them: the number column as integers, the rest as text.
            QVariantList values;
            values.reserve(rows);
            for (int r = 0; r < rows; ++r) {
                QVariantList row;
                row.reserve(columns);
                for (int c = 0; c < columns; ++c)
                    row << model->data(model->index(r, c), Qt::DisplayRole);
                values << QVariant(row);
            }
            range->setProperty("Value", QVariant(values));
        }
    }
    if (ok) {
        usedRange = worksheet->querySubObject("UsedRange");
        AutomationObject* usedColumns = usedRange ? usedRange->querySubObject("Columns") : nullptr;
        if (usedColumns)
            usedColumns->dynamicCall("AutoFit");
    }
    if (ok) {
        ok = workbook
                 ->dynamicCall("SaveAs(const QString &,int,QString,QString,bool,bool)",
                     QDir::toNativeSeparators(fileName), -4143, QString(""), QString(""), false,
                     false)
                 .toBool();
    }
    if (workbook)
        workbook->dynamicCall("Close(Boolean)", false);
    application->dynamicCall("Quit(void)");

    delete usedRange;
    delete cell;
    delete worksheet;
    delete sheets;
    delete workbook;
    delete workbooks;
    application.reset();
    return ok ? Succeeded : Failed;
}

#pragma once

#include <QDialog>

namespace Ui {
class dlgExport;
}

// Asks which export to run. The PDF table choice is built but hidden; users pick the table as a
// spreadsheet or as CSV, the chart as a picture, the shown item as a workbook or a measurement
// report, or all items as one workbook.
class dlgExport : public QDialog
{
    Q_OBJECT

public:
    enum ExportKind {
        Table = 0,
        Chart = 1,
        Pdf = 2,
        Csv = 3,
        Workbook = 4,
        Report = 5,
        AllItems = 6
    };
    Q_ENUM(ExportKind)

    explicit dlgExport(QWidget* parent = nullptr);
    ~dlgExport() override;

    int exportKind() const;

public slots:
    void on_rbTable_toggled(bool checked);
    void on_rbChart_toggled(bool checked);
    void on_rbPdf_toggled(bool checked);
    void on_rbCsv_toggled(bool checked);
    void on_rbWorkbook_toggled(bool checked);
    void on_rbReport_toggled(bool checked);
    void on_rbAllItems_toggled(bool checked);

private:
    Ui::dlgExport* ui;
    int kind = Table;
};

using ExportKind = dlgExport::ExportKind;

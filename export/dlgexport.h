#pragma once

#include <QDialog>

namespace Ui {
class dlgExport;
}

// Asks which export to run. The PDF choice is built but hidden; users pick the table as a
// spreadsheet or as CSV, or the chart as a picture.
class dlgExport : public QDialog
{
    Q_OBJECT

public:
    enum ExportKind { Table = 0, Chart = 1, Pdf = 2, Csv = 3 };
    Q_ENUM(ExportKind)

    explicit dlgExport(QWidget* parent = nullptr);
    ~dlgExport() override;

    int exportKind() const;

public slots:
    void on_rbTable_toggled(bool checked);
    void on_rbChart_toggled(bool checked);
    void on_rbPdf_toggled(bool checked);
    void on_rbCsv_toggled(bool checked);

private:
    Ui::dlgExport* ui;
    int kind = Table;
};

using ExportKind = dlgExport::ExportKind;

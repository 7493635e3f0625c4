#include "dlgexport.h"

#include "ui_dlgexport.h"

dlgExport::dlgExport(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::dlgExport)
{
    // The form also connects the radio button slots by their on_<object>_<signal> names.
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    kind = Table;
    ui->rbTable->setChecked(true);
    ui->rbPdf->hide();
}

dlgExport::~dlgExport()
{
    delete ui;
}

int dlgExport::exportKind() const
{
    return kind;
}

void dlgExport::on_rbTable_toggled(bool checked)
{
    if (checked)
        kind = Table;
}

void dlgExport::on_rbChart_toggled(bool checked)
{
    if (checked)
        kind = Chart;
}

void dlgExport::on_rbPdf_toggled(bool checked)
{
    if (checked)
        kind = Pdf;
}

void dlgExport::on_rbCsv_toggled(bool checked)
{
    if (checked)
        kind = Csv;
}

void dlgExport::on_rbWorkbook_toggled(bool checked)
{
    if (checked)
        kind = Workbook;
}

void dlgExport::on_rbReport_toggled(bool checked)
{
    if (checked)
        kind = Report;
}

void dlgExport::on_rbAllItems_toggled(bool checked)
{
    if (checked)
        kind = AllItems;
}

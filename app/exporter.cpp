#include "exporter.h"

#include "csvexport.h"
#include "datamodel.h"
#include "dmmchart.h"
#include "pdfreport.h"
#include "xlsexport.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

Exporter::Exporter(QWidget* window, DataModel* model, const QList<ColumnHeader*>& headers,
    DMMChart* chart, QObject* parent)
    : QObject(parent)
    , window(window)
    , model(model)
    , headers(headers)
    , chart(chart)
    , asker(&Exporter::askWithDialog)
{ }

void Exporter::setFileNameAsker(FileNameAsker asker)
{
    this->asker = asker ? std::move(asker) : FileNameAsker(&Exporter::askWithDialog);
}

QString Exporter::askWithDialog(
    QWidget* parent, const QString& caption, const QString& folder, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, folder, filter);
}

QString Exporter::askFileName(const QString& caption, const QString& folder, const QString& filter)
{
    return asker(window, caption, folder, filter);
}

void Exporter::tellOutcome(bool succeeded, const QString& fileName)
{
    const QString shown = QDir::toNativeSeparators(fileName);
    emit message(succeeded ? tr("Exported %1.").arg(shown) : tr("Export to %1 failed.").arg(shown));
    if (succeeded)
        QMessageBox::information(window, QString(), tr("The datas is exported successfully."));
    else
        QMessageBox::information(window, QString(), tr("The datas is exported failed."));
}

void Exporter::exportXls()
{
    const QString fileName = askFileName(
        tr("Export the datas to a excel file."), QString(), QStringLiteral("Excel File(*.xls)"));
    if (fileName.isEmpty())
        return;

    switch (XlsExport().write(model, headers, fileName)) {
    case XlsExport::Succeeded:
        emit exported();
        tellOutcome(true, fileName);
        break;
    case XlsExport::NoServer:
        emit message(tr("Export to %1 failed: no spreadsheet component.")
                         .arg(QDir::toNativeSeparators(fileName)));
        QMessageBox::information(window, QString(),
            tr("The datas is exported failed, your computer may not have installed excel."));
        break;
    case XlsExport::TooManyRows: {
        emit message(tr("Export to %1 failed: too many rows for an .xls sheet.")
                         .arg(QDir::toNativeSeparators(fileName)));
        // Saving only the rows that fit would lose readings without a word.
        QMessageBox box(QMessageBox::Information, QString(), tr("The datas is exported failed."),
            QMessageBox::Ok, window);
        box.setInformativeText(
            tr("The table has %1 rows, but a sheet of an .xls file holds at most %2 rows under "
               "the header. Nothing was saved.")
                .arg(model ? model->rowCount() : 0)
                .arg(XlsExport::maxRows));
        box.exec();
        break;
    }
    case XlsExport::Failed:
        tellOutcome(false, fileName);
        break;
    }
}

void Exporter::exportPdf()
{
    const QString fileName = askFileName(
        tr("Export the datas to a pdf file."), QString(), QStringLiteral("PDF file(*.pdf)"));
    if (fileName.isEmpty())
        return;
    // The report is complete and closed before the user is told it is there.
    const bool written = PdfReport::write(model, headers, fileName);
    if (written)
        emit exported();
    tellOutcome(written, fileName);
}

void Exporter::exportCsv()
{
    QString fileName = askFileName(
        tr("Export the datas to a CSV file."), QString(), QStringLiteral("CSV File(*.csv)"));
    if (fileName.isEmpty())
        return;
    // A bare new name gets the format's extension; an existing file or device is used as named.
    const QFileInfo chosen(fileName);
    if (chosen.suffix().isEmpty() && !chosen.exists())
        fileName += QStringLiteral(".csv");
    const bool written = CsvExport::write(model, headers, fileName);
    if (written)
        emit exported();
    tellOutcome(written, fileName);
}

void Exporter::exportChart()
{
    const QString fileName = askFileName(tr("Export the chart to a picture."), QStringLiteral("."),
        QStringLiteral("JPG File(*.jpg)"));
    if (fileName.isEmpty())
        return;
    // A picture that could not be written is a failure, not a success.
    tellOutcome(chart->savePicture(fileName), fileName);
}

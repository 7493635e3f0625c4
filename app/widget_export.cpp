// The main window's export commands: ask for the kind and the file, keep the wait cursor up while
// working, and tell the user the outcome. The writers themselves live in the export library.
#include "widget.h"

#include "csvexport.h"
#include "datamodel.h"
#include "dlgexport.h"
#include "dmmchart.h"
#include "pdfreport.h"
#include "ui_widget.h"
#include "xlsexport.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTabWidget>

#include <memory>

namespace {

// Keeps the wait cursor from construction to destruction, so every way out of an export,
// cancelled dialogs included, gives the window's own cursor back. The window's cursor stays the
// override afterwards, as users of the export know it, but never more than one level deep: repeated
// exports must not pile up overrides that the application could never unwind.
class WaitCursor
{
public:
    explicit WaitCursor(const QCursor& windowCursor)
        : restored(windowCursor)
    {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        // Let the cursor change show before the work starts.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    ~WaitCursor()
    {
        QApplication::restoreOverrideCursor();
        if (QApplication::overrideCursor())
            QApplication::changeOverrideCursor(restored);
        else
            QApplication::setOverrideCursor(restored);
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    QCursor restored;
};

void waitProcessingEvents(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
}

} // namespace

void Widget::on_actionExport_triggered()
{
    std::unique_ptr<dlgExport> dialog(new dlgExport);
    const int accepted = dialog->exec();
    WaitCursor waitCursor(cursor());
    if (accepted != QDialog::Accepted)
        return;

    switch (dialog->exportKind()) {
    case dlgExport::Table:
        exportXls();
        break;
    case dlgExport::Chart: {
        const QString fileName
            = QFileDialog::getSaveFileName(this, tr("Export the chart to a picture."),
                QStringLiteral("."), QStringLiteral("JPG File(*.jpg)"));
        if (fileName.isEmpty())
            break;
        // A picture that could not be written is a failure, not a success.
        if (ui->chart->savePicture(fileName))
            QMessageBox::information(this, QString(), tr("The datas is exported successfully."));
        else
            QMessageBox::information(this, QString(), tr("The datas is exported failed."));
        break;
    }
    case dlgExport::Pdf: {
        // Show every page once so that each has been laid out and painted before the report.
        const int current = ui->tabWidget->currentIndex();
        for (int i = 0; i < ui->tabWidget->count(); ++i) {
            ui->tabWidget->setCurrentIndex(i);
            waitProcessingEvents(10);
        }
        ui->tabWidget->setCurrentIndex(current);
        exportPdf();
        break;
    }
    case dlgExport::Csv:
        exportCsv();
        break;
    default:
        break;
    }
}

void Widget::exportXls()
{
    const QString fileName = QFileDialog::getSaveFileName(this,
        tr("Export the datas to a excel file."), QString(), QStringLiteral("Excel File(*.xls)"));
    if (fileName.isEmpty())
        return;

    switch (XlsExport().write(dataModel, columnHeaders, fileName)) {
    case XlsExport::Succeeded:
        QMessageBox::information(this, QString(), tr("The datas is exported successfully."));
        break;
    case XlsExport::NoServer:
        QMessageBox::information(this, QString(),
            tr("The datas is exported failed, your computer may not have installed excel."));
        break;
    case XlsExport::TooManyRows: {
        // Saving only the rows that fit would lose readings without a word.
        QMessageBox box(QMessageBox::Information, QString(), tr("The datas is exported failed."),
            QMessageBox::Ok, this);
        box.setInformativeText(
            tr("The table has %1 rows, but a sheet of an .xls file holds at most %2 rows under "
               "the header. Nothing was saved.")
                .arg(dataModel ? dataModel->rowCount() : 0)
                .arg(XlsExport::maxRows));
        box.exec();
        break;
    }
    case XlsExport::Failed:
        QMessageBox::information(this, QString(), tr("The datas is exported failed."));
        break;
    }
}

void Widget::exportPdf()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Export the datas to a pdf file."), QString(), QStringLiteral("PDF file(*.pdf)"));
    if (fileName.isEmpty())
        return;

    // The report is complete and closed before the user is told it is there.
    if (PdfReport::write(dataModel, columnHeaders, fileName))
        QMessageBox::information(this, QString(), tr("The datas is exported successfully."));
    else
        QMessageBox::information(this, QString(), tr("The datas is exported failed."));
}

void Widget::exportCsv()
{
    QString fileName = QFileDialog::getSaveFileName(
        this, tr("Export the datas to a CSV file."), QString(), QStringLiteral("CSV File(*.csv)"));
    if (fileName.isEmpty())
        return;
    // A bare new name gets the format's extension; an existing file or device is used as named.
    const QFileInfo chosen(fileName);
    if (chosen.suffix().isEmpty() && !chosen.exists())
        fileName += QStringLiteral(".csv");

    if (CsvExport::write(dataModel, columnHeaders, fileName))
        QMessageBox::information(this, QString(), tr("The datas is exported successfully."));
    else
        QMessageBox::information(this, QString(), tr("The datas is exported failed."));
}

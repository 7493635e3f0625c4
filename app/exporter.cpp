#include "exporter.h"

#include "csvexport.h"
#include "datamodel.h"
#include "dmmchart.h"
#include "pdfreport.h"
#include "pictureexport.h"
#include "xlsexport.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStorageInfo>

#include <cerrno>

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

void Exporter::tellOutcome(bool succeeded, const QString& fileName, const QString& reason)
{
    if (succeeded) {
        QMessageBox::information(window, QString(), tr("The datas is exported successfully."));
        return;
    }
    QMessageBox box(QMessageBox::Information, QString(), tr("The datas is exported failed."),
        QMessageBox::Ok, window);
    if (!reason.isEmpty())
        box.setInformativeText(
            tr("%1 could not be written: %2").arg(QDir::toNativeSeparators(fileName), reason));
    box.exec();
}

QString Exporter::failureReason(const QString& fileName)
{
    const QFileInfo target(fileName);
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return qt_error_string(ENOENT);
    if (target.isDir())
        return qt_error_string(EISDIR);
    if (target.exists() ? !target.isWritable() : !folder.isWritable())
        return qt_error_string(EACCES);
    const QStorageInfo storage(folder.absoluteFilePath());
    if (storage.isValid() && storage.bytesAvailable() == 0)
        return qt_error_string(ENOSPC);
    return tr("the file could not be finished.");
}

void Exporter::exportXls()
{
    const QString fileName = askFileName(
        tr("Export the datas to a excel file."), QString(), QStringLiteral("Excel File(*.xls)"));
    if (fileName.isEmpty())
        return;

    switch (XlsExport().write(model, headers, fileName)) {
    case XlsExport::Succeeded:
        tellOutcome(true);
        break;
    case XlsExport::NoServer:
        QMessageBox::information(window, QString(),
            tr("The datas is exported failed, your computer may not have installed excel."));
        break;
    case XlsExport::TooManyRows: {
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
        tellOutcome(false, fileName, failureReason(fileName));
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
    tellOutcome(written, fileName, written ? QString() : failureReason(fileName));
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
    QString reason;
    tellOutcome(CsvExport::write(model, headers, fileName, &reason), fileName, reason);
}

void Exporter::exportChart()
{
    QString fileName = askFileName(tr("Export the chart to a picture."), QStringLiteral("."),
        QStringLiteral("JPG File(*.jpg)"));
    if (fileName.isEmpty())
        return;
    const QFileInfo chosen(fileName);
    if (chosen.suffix().isEmpty() && !chosen.exists())
        fileName += QStringLiteral(".jpg");
    // Encoded in memory and written as a whole: a full disk is a failure and leaves no part.
    QString reason;
    tellOutcome(PictureExport::write(chart->picture(), fileName, &reason), fileName, reason);
}

#include "exporter.h"

#include "csvexport.h"
#include "datamodel.h"
#include "dmmchart.h"
#include "exportfilename.h"
#include "itemdata.h"
#include "itemtree.h"
#include "measurementreport.h"
#include "pdfreport.h"
#include "pictureexport.h"
#include "workbookexport.h"
#include "xlsexport.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
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
{
    // Until the first export, the user's documents folder (the working folder of a program
    // started from a menu is no place the user chose).
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    folder = QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void Exporter::setFileNameAsker(FileNameAsker asker)
{
    this->asker = asker ? std::move(asker) : FileNameAsker(&Exporter::askWithDialog);
}

QString Exporter::askWithDialog(
    QWidget* parent, const QString& caption, const QString& folder, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, folder, filter);
}

void Exporter::setItemTree(ItemTree* tree)
{
    this->tree = tree;
}

void Exporter::setExportFolder(const QString& folder)
{
    if (!folder.isEmpty())
        this->folder = folder;
}

QString Exporter::shownItemName() const
{
    const ItemData* item = model ? model->shownItem() : nullptr;
    return item ? item->name() : QString();
}

QString Exporter::askFileName(const QString& caption, const QString& filter,
    const QString& extension, const QString& itemName)
{
    const QString suggested
        = ExportFileName::suggested(itemName, QDateTime::currentDateTime(), extension);
    const QString typed = asker(window, caption, QDir(folder).filePath(suggested), filter);
    if (typed.isEmpty())
        return typed;
    // A device in the file's place (a pipe, a printer port) is written as named.
    const QFileInfo chosen(typed);
    if (chosen.exists() && !chosen.isFile() && !chosen.isDir())
        return typed;
    return ExportFileName::completed(typed, extension);
}

QList<const ItemData*> Exporter::shownItem() const
{
    const ItemData* item = model ? model->shownItem() : nullptr;
    return item ? QList<const ItemData*> { item } : QList<const ItemData*> {};
}

void Exporter::tellOutcome(
    const ExportResult& result, const QString& fileName, const QList<const ItemData*>& written)
{
    const QString shown = QDir::toNativeSeparators(fileName);
    if (result.ok) {
        if (!written.isEmpty())
            emit exported(written);
        // The next export starts where this one went.
        const QFileInfo written(fileName);
        if (written.isFile())
            folder = written.absolutePath();
        emit message(tr("Exported %1.").arg(shown));
        QMessageBox::information(window, QString(), tr("The datas is exported successfully."));
        return;
    }
    emit message(result.reason.isEmpty() ? tr("Export to %1 failed.").arg(shown)
                                         : tr("Export to %1 failed: %2").arg(shown, result.reason));
    QMessageBox box(QMessageBox::Information, QString(), tr("The datas is exported failed."),
        QMessageBox::Ok, window);
    if (!result.reason.isEmpty())
        box.setInformativeText(tr("%1 could not be written: %2").arg(shown, result.reason));
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
    const QString fileName = askFileName(tr("Export the datas to a excel file."),
        QStringLiteral("Excel File(*.xls)"), QStringLiteral("xls"), shownItemName());
    if (fileName.isEmpty())
        return;

    switch (XlsExport().write(model, headers, fileName)) {
    case XlsExport::Succeeded:
        tellOutcome(ExportResult::success(), fileName, shownItem());
        break;
    case XlsExport::NoServer:
        emit message(tr("Export to %1 failed: no spreadsheet component.")
                         .arg(QDir::toNativeSeparators(fileName)));
        QMessageBox::information(window, QString(),
            tr("The datas is exported failed, your computer may not have installed excel."));
        break;
    case XlsExport::TooManyRows:
        // Saving only the rows that fit would lose readings without a word.
        tellOutcome(ExportResult::failure(
                        tr("The table has %1 rows, but a sheet of an .xls file holds at most %2 "
                           "rows under the header. Nothing was saved; the workbook (.xlsx) holds "
                           "them all.")
                            .arg(model ? model->rowCount() : 0)
                            .arg(XlsExport::maxRows)),
            fileName);
        break;
    case XlsExport::Failed:
        tellOutcome(ExportResult::failure(failureReason(fileName)), fileName);
        break;
    }
}

void Exporter::exportPdf()
{
    const QString fileName = askFileName(tr("Export the datas to a pdf file."),
        QStringLiteral("PDF file(*.pdf)"), QStringLiteral("pdf"), shownItemName());
    if (fileName.isEmpty())
        return;
    // The report is complete and closed before the user is told it is there.
    const bool written = PdfReport::write(model, headers, fileName);
    tellOutcome(written ? ExportResult::success() : ExportResult::failure(failureReason(fileName)),
        fileName, shownItem());
}

void Exporter::exportCsv()
{
    const QString fileName = askFileName(tr("Export the datas to a CSV file."),
        QStringLiteral("CSV File(*.csv)"), QStringLiteral("csv"), shownItemName());
    if (fileName.isEmpty())
        return;
    QString reason;
    const bool written = CsvExport::write(model, headers, fileName, &reason);
    tellOutcome(
        written ? ExportResult::success() : ExportResult::failure(reason), fileName, shownItem());
}

void Exporter::exportChart()
{
    const QString fileName = askFileName(tr("Export the chart to a picture."),
        QStringLiteral("JPG File(*.jpg)"), QStringLiteral("jpg"), shownItemName());
    if (fileName.isEmpty())
        return;
    // A picture that could not be written is a failure, not a success.
    tellOutcome(PictureExport::write(chart->picture(), fileName), fileName);
}

void Exporter::exportWorkbook()
{
    const QString fileName = askFileName(tr("Export the item to a workbook."),
        QStringLiteral("Excel Workbook(*.xlsx)"), QStringLiteral("xlsx"), shownItemName());
    if (fileName.isEmpty())
        return;
    const ItemData* item = model ? model->shownItem() : nullptr;
    tellOutcome(item ? WorkbookExport().write(item, headers, fileName)
                     : ExportResult::failure(tr("No item is shown.")),
        fileName, shownItem());
}

void Exporter::exportReport()
{
    const QString fileName = askFileName(tr("Export the item to a measurement report."),
        QStringLiteral("PDF file(*.pdf)"), QStringLiteral("pdf"), shownItemName());
    if (fileName.isEmpty())
        return;
    const ItemData* item = model ? model->shownItem() : nullptr;
    tellOutcome(item ? MeasurementReport(item, headers).write(fileName)
                     : ExportResult::failure(tr("No item is shown.")),
        fileName, shownItem());
}

void Exporter::exportAllItems()
{
    const QString fileName = askFileName(tr("Export all items to a workbook."),
        QStringLiteral("Excel Workbook(*.xlsx)"), QStringLiteral("xlsx"), tr("All items"));
    if (fileName.isEmpty())
        return;
    QList<const ItemData*> items;
    if (tree) {
        for (const ItemData* item : tree->liveItems())
            items << item;
        const ItemData* store = tree->storeItem();
        if (store && store->readingCount() > 0)
            items << store;
    }
    tellOutcome(items.isEmpty() ? ExportResult::failure(tr("There are no items."))
                                : WorkbookExport().writeAll(items, headers, fileName),
        fileName, items);
}

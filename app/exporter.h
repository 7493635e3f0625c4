#pragma once

#include "exportresult.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

struct ColumnHeader;
class DataModel;
class DMMChart;
class ItemData;
class ItemTree;
class QWidget;

// The window's exports: asks for the file (suggesting a name from the item and the time, in the
// folder of the last export), gives the name its kind's extension, runs the writer and tells the
// user the outcome. The writers themselves live in the export library and show no dialogs.
class Exporter : public QObject
{
    Q_OBJECT

public:
    // Asks for the name of a file to write; an empty answer cancels. The program asks with the
    // platform's save-file dialog; tests put their own answer in its place. folder holds the
    // start folder and the suggested file name.
    using FileNameAsker = std::function<QString(
        QWidget* parent, const QString& caption, const QString& folder, const QString& filter)>;

    Exporter(QWidget* window, DataModel* model, const QList<ColumnHeader*>& headers,
        DMMChart* chart, QObject* parent = nullptr);

    void setFileNameAsker(FileNameAsker asker);
    static QString askWithDialog(
        QWidget* parent, const QString& caption, const QString& folder, const QString& filter);

    // The items of "all items": the tree's live items and, when it holds readings, Store Data.
    void setItemTree(ItemTree* tree);
    // The folder the next export starts in (kept in the settings file).
    QString exportFolder() const { return folder; }
    void setExportFolder(const QString& folder);

    void exportXls();
    void exportPdf();
    void exportCsv();
    void exportChart();
    void exportWorkbook();
    void exportReport();
    void exportAllItems();

signals:
    // One line for the message list per export: the file written, or the failure.
    void message(const QString& text);
    // These items' readings were written to a file (their work is kept).
    void exported(const QList<const ItemData*>& items);

private:
    // The file to write, completed with the extension; empty when the user cancelled.
    QString askFileName(const QString& caption, const QString& filter, const QString& extension,
        const QString& itemName);
    QString shownItemName() const;
    // written: the items whose readings the file holds, when it was written.
    void tellOutcome(const ExportResult& result, const QString& fileName,
        const QList<const ItemData*>& written = {});
    QList<const ItemData*> shownItem() const;
    // Why a file could not be written there, in the system's words, for writers that do not say
    // so themselves: a missing folder, a folder in the file's place, no permission, a full disk.
    static QString failureReason(const QString& fileName);

    QWidget* window;
    DataModel* model;
    QList<ColumnHeader*> headers;
    DMMChart* chart;
    ItemTree* tree = nullptr;
    FileNameAsker asker;
    QString folder;
};

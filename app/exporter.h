#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

struct ColumnHeader;
class DataModel;
class DMMChart;
class QWidget;

// The window's exports: asks for the file, runs the writer and tells the user the outcome. The
// writers themselves live in the export library and show no dialogs.
class Exporter : public QObject
{
    Q_OBJECT

public:
    // Asks for the name of a file to write; an empty answer cancels. The program asks with the
    // platform's save-file dialog; tests put their own answer in its place.
    using FileNameAsker = std::function<QString(
        QWidget* parent, const QString& caption, const QString& folder, const QString& filter)>;

    Exporter(QWidget* window, DataModel* model, const QList<ColumnHeader*>& headers,
        DMMChart* chart, QObject* parent = nullptr);

    void setFileNameAsker(FileNameAsker asker);
    static QString askWithDialog(
        QWidget* parent, const QString& caption, const QString& folder, const QString& filter);

    void exportXls();
    void exportPdf();
    void exportCsv();
    void exportChart();

    // Why a file could not be written there, in the system's words, for writers that do not say
    // so themselves: a missing folder, a folder in the file's place, no permission, a full disk.
    static QString failureReason(const QString& fileName);

private:
    QString askFileName(const QString& caption, const QString& folder, const QString& filter);
    // A failure shows the reason (the system's) beneath the message.
    void tellOutcome(
        bool succeeded, const QString& fileName = QString(), const QString& reason = QString());

    QWidget* window;
    DataModel* model;
    QList<ColumnHeader*> headers;
    DMMChart* chart;
    FileNameAsker asker;
};

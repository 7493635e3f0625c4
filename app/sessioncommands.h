#pragma once

#include "pendingsession.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ItemData;
class ItemJournal;
class ItemTree;
class Journal;
class Recorder;
class QWidget;

// The window's safety net and its session files: runs the recording journal, offers and carries
// out the restore of the last session, saves and opens .vibview session files and imports them
// or vibview's CSV exports into new items. File names are asked through a replaceable asker;
// faults reach the window as words for its message list and notice.
class SessionCommands : public QObject
{
    Q_OBJECT

public:
    // Asks for a file to open or to save; an empty answer cancels. Tests put their own answer in
    // place of the platform's file dialog.
    using FileNameAsker = std::function<QString(
        QWidget* parent, const QString& caption, const QString& filter, bool saving)>;

    SessionCommands(QWidget* window, ItemTree* tree, Recorder* recorder, QObject* parent = nullptr);
    // Ends the journal's session; must go before the items do.
    ~SessionCommands() override;

    void setFileNameAsker(FileNameAsker asker);
    static QString askWithDialog(
        QWidget* parent, const QString& caption, const QString& filter, bool saving);

    Journal* journal() const { return sessionJournal.get(); }
    ItemJournal* items() const { return itemJournal.get(); }
    PendingSession pendingSession() const { return pending; }

    // Opens the journal; restoreOffered() or problem() may follow.
    void start();

    // Writes every item with its readings into a session file, replacing it as a whole.
    bool saveTo(const QString& fileName, QString* error);
    // Adds the items of a session file or a CSV export under "Live Data"; all or none.
    bool importFrom(const QString& fileName, bool sessionsOnly, QString* error);

public slots:
    void saveSession();
    void openSession();
    void importFile();
    void restore();
    void discard();
    // The active item's table was exported.
    // Items whose readings went to an export: they are not offered for restoring.
    void markSaved(const QList<const ItemData*>& items);

signals:
    void restoreOffered(const QString& text);
    void problem(const QString& text);
    void message(const QString& text);
    // Items or readings were added outside the recorder: the views may need to show them.
    void itemsAdded();

protected:
    // The window's close ends the session in the journal.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void journalReady(const PendingSession& found);
    QString askFileName(const QString& caption, const QString& filter, bool saving);
    void warn(const QString& text);

    QWidget* window;
    ItemTree* tree;
    Recorder* recorder;
    std::unique_ptr<Journal> sessionJournal;
    std::unique_ptr<ItemJournal> itemJournal;
    PendingSession pending;
    FileNameAsker asker;
};

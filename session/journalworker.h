#pragma once

#include "itemrecord.h"
#include "pendingsession.h"
#include "readingrecord.h"
#include "sessionwriter.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class QLockFile;

// One change to the journal, as the window hands it over. Items are named by the journal's keys,
// which the writer maps to the items' ids in the file.
struct JournalOp
{
    enum Kind {
        AddItem,
        AdoptItem, // take an item of an earlier session over, under this key
        AppendReading,
        RenameItem,
        SetItemUnit,
        SetItemProperties,
        SetItemSaved,
        ClearItem,
        RemoveItem,
        DiscardSession,
        EndSession, // the window closed; it may still record if shown again
    };

    Kind kind = AppendReading;
    int key = 0;
    qint64 stored = 0; // AdoptItem: the item in the file; DiscardSession: the session
    int type = 0; // AdoptItem: its type from now on
    ItemRecord item; // AddItem
    ReadingRecord reading; // AppendReading
    QString text; // RenameItem, SetItemUnit
    QJsonObject properties; // SetItemProperties
    bool saved = false; // SetItemSaved
};

// The journal's writer, living in a thread of its own so that the disk never holds up the
// window. It opens the journal (moving a damaged one aside), tidies the earlier sessions, starts
// this session and applies each batch of changes in one transaction.
class JournalWorker : public QObject
{
    Q_OBJECT

public:
    // Sessions older than this that were never restored are removed at start.
    static constexpr int keepDays = 30;

    JournalWorker(const QString& folder, int pageLimit, const QString& program);
    ~JournalWorker() override;

    static QString journalName() { return QStringLiteral("journal.sqlite"); }

    void open();
    void apply(const QVector<JournalOp>& ops);
    // Marks the session ended and closes the file.
    void finish();

signals:
    void ready(const PendingSession& pending);
    void written();
    void failed(const QString& reason);
    void recovered(const QString& message);

private:
    enum class Opening { Opened, Damaged, Failed };
    Opening openFile(QString* reason);
    // Renames a damaged journal with a time stamp; returns its new name (empty when it stays).
    QString moveAside();
    bool tidy(PendingSession* pending, QString* reason);
    bool isLive(qint64 session);
    bool applyOne(const JournalOp& op);
    void fail(const QString& reason);
    QString lockPath(qint64 session) const;

    QString folder;
    int pageLimit;
    QString program;
    SessionWriter writer;
    qint64 session = 0;
    QHash<int, qint64> stored;
    std::unique_ptr<QLockFile> lock;
    bool broken = false;
};

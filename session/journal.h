#pragma once

#include "itemrecord.h"
#include "journalworker.h"
#include "pendingsession.h"

#include <QBasicTimer>
#include <QObject>
#include <QString>
#include <QThread>
#include <QVector>

class DmmData;

// The recording journal: every item and reading of this window's session, written to an SQLite
// file in the per-user data folder so that a crash, a kill or a power cut loses at most the last
// moment. Calls only queue the change; a thread of its own writes it, at least every half second
// and at once after every item event. After a fault it reports once and stays quiet: recording
// goes on in memory.
class Journal : public QObject
{
    Q_OBJECT

public:
    // The longest a stored reading waits before it is handed to the writer.
    static constexpr int commitIntervalMs = 500;

    explicit Journal(const QString& program, QObject* parent = nullptr);
    // Marks the session ended and waits for the last commit.
    ~Journal() override;

    // Where journals are kept: the per-user data folder unless a test put them elsewhere.
    static void setFolderOverride(const QString& folder);
    static QString folder();
    static QString filePath();
    // Caps the journal at so many pages of 4 KiB (0: no cap), so that a test can fill the disk.
    static void setPageLimit(int pages);

    // Opens the journal in the background: ready() follows, or failed().
    void start();
    bool hasFailed() const { return failedOnce; }
    // The journal is open and records this session.
    bool isOpen() const { return opened && !failedOnce; }

    // Each returns the key by which the item is named from then on.
    int addItem(const ItemRecord& item);
    // Takes an item of an earlier session over as this type: under a new key, or under the given
    // key, whose own item is dropped.
    int adoptItem(qint64 stored, int type, int key = 0);
    void appendReading(int key, const DmmData& reading);
    void renameItem(int key, const QString& name);
    void setItemUnit(int key, const QString& unit);
    void setItemProperties(int key, const QJsonObject& properties);
    void setItemSaved(int key, bool saved);
    void clearItem(int key);
    void removeItem(int key);
    // Removes an earlier session and everything in it.
    void discardSession(qint64 session);
    // Marks this session ended (the window closed); the destructor does it as well.
    void endSession();

    // Hands the queued changes to the writer now.
    void flush();
    // Everything given so far is on the disk (or the journal has failed).
    bool isWritten() const
    {
        return failedOnce || (pending.isEmpty() && batchesWritten == batchesSent);
    }

signals:
    // The journal is open; pending is the last session with readings never saved, if any.
    void ready(const PendingSession& pending);
    // A batch of changes is on the disk.
    void written();
    // The journal cannot be used (once).
    void failed(const QString& message);
    // A damaged journal was renamed to movedTo and a new one started.
    void recovered(const QString& movedTo);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void enqueue(JournalOp&& op, bool now);
    void workerFailed(const QString& reason);

    QThread thread;
    JournalWorker* worker;
    QVector<JournalOp> pending;
    QBasicTimer flushTimer;
    int nextKey = 1;
    bool failedOnce = false;
    bool opened = false;
    int batchesSent = 0;
    int batchesWritten = 0;
};

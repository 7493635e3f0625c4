#include "journal.h"

#include "dmmdata.h"

#include <QDir>
#include <QStandardPaths>
#include <QTimerEvent>

namespace {

QString& folderOverride()
{
    static QString folder;
    return folder;
}

int& pageLimit()
{
    static int pages = 0;
    return pages;
}

} // namespace

Journal::Journal(const QString& program, QObject* parent)
    : QObject(parent)
    , worker(new JournalWorker(folder(), pageLimit(), program))
{
    qRegisterMetaType<PendingSession>();
    thread.setObjectName(QStringLiteral("journal"));
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &JournalWorker::ready, this, [this](const PendingSession& pending) {
        opened = true;
        emit ready(pending);
    });
    connect(worker, &JournalWorker::written, this, [this] {
        ++batchesWritten;
        emit written();
    });
    connect(worker, &JournalWorker::failed, this, &Journal::workerFailed);
    connect(worker, &JournalWorker::recovered, this, &Journal::recovered);
}

Journal::~Journal()
{
    if (!thread.isRunning()) {
        delete worker;
        return;
    }
    flush();
    // Everything queued before is written first; the thread's loop would drop what is left.
    JournalWorker* writer = worker;
    QMetaObject::invokeMethod(
        writer, [writer] { writer->finish(); }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

void Journal::setFolderOverride(const QString& folder)
{
    folderOverride() = folder;
}

QString Journal::folder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString Journal::filePath()
{
    return QDir(folder()).filePath(JournalWorker::journalName());
}

void Journal::setPageLimit(int pages)
{
    pageLimit() = pages;
}

void Journal::start()
{
    if (thread.isRunning())
        return;
    thread.start();
    JournalWorker* writer = worker;
    QMetaObject::invokeMethod(writer, [writer] { writer->open(); });
}

void Journal::workerFailed(const QString& reason)
{
    if (failedOnce)
        return;
    failedOnce = true;
    pending.clear();
    flushTimer.stop();
    emit failed(reason);
}

void Journal::enqueue(JournalOp&& op, bool now)
{
    if (failedOnce)
        return;
    pending.append(std::move(op));
    if (now)
        flush();
    else if (!flushTimer.isActive())
        flushTimer.start(commitIntervalMs, Qt::PreciseTimer, this);
}

void Journal::flush()
{
    flushTimer.stop();
    if (pending.isEmpty() || failedOnce)
        return;
    if (!thread.isRunning())
        start();
    JournalWorker* writer = worker;
    QMetaObject::invokeMethod(writer, [writer, ops = std::move(pending)] { writer->apply(ops); });
    pending = QVector<JournalOp>();
    ++batchesSent;
}

void Journal::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == flushTimer.timerId())
        flush();
    else
        QObject::timerEvent(event);
}

int Journal::addItem(const ItemRecord& item)
{
    JournalOp op;
    op.kind = JournalOp::AddItem;
    op.key = nextKey++;
    op.item = item;
    const int key = op.key;
    enqueue(std::move(op), true);
    return key;
}

int Journal::adoptItem(qint64 stored, int type, int key)
{
    JournalOp op;
    op.kind = JournalOp::AdoptItem;
    op.key = key != 0 ? key : nextKey++;
    op.stored = stored;
    op.type = type;
    const int adopted = op.key;
    enqueue(std::move(op), true);
    return adopted;
}

void Journal::appendReading(int key, const DmmData& reading)
{
    JournalOp op;
    op.key = key;
    op.reading = ReadingRecord::of(reading);
    enqueue(std::move(op), false);
}

void Journal::renameItem(int key, const QString& name)
{
    JournalOp op;
    op.kind = JournalOp::RenameItem;
    op.key = key;
    op.text = name;
    enqueue(std::move(op), true);
}

void Journal::setItemUnit(int key, const QString& unit)
{
    JournalOp op;
    op.kind = JournalOp::SetItemUnit;
    op.key = key;
    op.text = unit;
    enqueue(std::move(op), true);
}

void Journal::setItemProperties(int key, const QJsonObject& properties)
{
    JournalOp op;
    op.kind = JournalOp::SetItemProperties;
    op.key = key;
    op.properties = properties;
    enqueue(std::move(op), true);
}

void Journal::setItemSaved(int key, bool saved)
{
    JournalOp op;
    op.kind = JournalOp::SetItemSaved;
    op.key = key;
    op.saved = saved;
    enqueue(std::move(op), saved);
}

void Journal::clearItem(int key)
{
    JournalOp op;
    op.kind = JournalOp::ClearItem;
    op.key = key;
    enqueue(std::move(op), true);
}

void Journal::removeItem(int key)
{
    JournalOp op;
    op.kind = JournalOp::RemoveItem;
    op.key = key;
    enqueue(std::move(op), true);
}

void Journal::discardSession(qint64 session)
{
    JournalOp op;
    op.kind = JournalOp::DiscardSession;
    op.stored = session;
    enqueue(std::move(op), true);
}

void Journal::endSession()
{
    JournalOp op;
    op.kind = JournalOp::EndSession;
    enqueue(std::move(op), true);
}

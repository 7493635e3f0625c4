#include "journalworker.h"

#include "sessionschema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

JournalWorker::JournalWorker(const QString& folder, int pageLimit, const QString& program)
    : folder(folder)
    , pageLimit(pageLimit)
    , program(program)
{ }

JournalWorker::~JournalWorker() = default;

QString JournalWorker::lockPath(qint64 id) const
{
    return QDir(folder).filePath(QStringLiteral("session-%1.lock").arg(id));
}

void JournalWorker::fail(const QString& reason)
{
    if (broken)
        return;
    broken = true;
    writer.close();
    lock.reset();
    emit failed(reason);
}

JournalWorker::Opening JournalWorker::openFile(QString* reason)
{
    const QString path = QDir(folder).filePath(journalName());
    if (!writer.open(path, SessionWriter::Mode::Journal, pageLimit)) {
        *reason = writer.errorString();
        return writer.failedOnDamage() ? Opening::Damaged : Opening::Failed;
    }
    QSqlQuery check(writer.database());
    if (!check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next()) {
        *reason = SessionSchema::describe(check.lastError());
        const bool damaged = SessionSchema::isDamage(check.lastError());
        check.finish();
        writer.close();
        return damaged ? Opening::Damaged : Opening::Failed;
    }
    if (check.value(0).toString() != QLatin1String("ok")) {
        *reason = check.value(0).toString();
        check.finish();
        writer.close();
        return Opening::Damaged;
    }
    return Opening::Opened;
}

QString JournalWorker::moveAside()
{
    const QDir dir(folder);
    const QString path = dir.filePath(journalName());
    const QString aside = dir.filePath(
        QStringLiteral("journal-damaged-%1.sqlite")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"))));
    if (!QFile::rename(path, aside))
        return QString();
    // The log belongs to the damaged file; the index is rebuilt from it.
    QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    return aside;
}

void JournalWorker::open()
{
    if (!QDir().mkpath(folder)) {
        fail(QStringLiteral("the folder %1 cannot be created")
                 .arg(QDir::toNativeSeparators(folder)));
        return;
    }
    QString reason;
    Opening opening = openFile(&reason);
    if (opening == Opening::Damaged) {
        const QString aside = moveAside();
        if (aside.isEmpty()) {
            fail(reason);
            return;
        }
        emit recovered(aside);
        opening = openFile(&reason);
    }
    if (opening != Opening::Opened) {
        fail(reason);
        return;
    }

    PendingSession pending;
    if (!tidy(&pending, &reason)) {
        fail(reason);
        return;
    }
    if (!writer.begin()) {
        fail(writer.errorString());
        return;
    }
    session = writer.beginSession(QDateTime::currentDateTime(), program);
    if (session == 0 || !writer.commit()) {
        reason = writer.errorString();
        writer.rollback();
        fail(reason);
        return;
    }
    // The lock tells other windows that this session is being recorded.
    lock = std::make_unique<QLockFile>(lockPath(session));
    lock->setStaleLockTime(0);
    lock->tryLock(0);
    emit ready(pending);
}

bool JournalWorker::isLive(qint64 id)
{
    QLockFile probe(lockPath(id));
    // Only a lock of a running process counts, however old it is.
    probe.setStaleLockTime(0);
    if (!probe.tryLock(0))
        return probe.error() == QLockFile::LockFailedError;
    probe.unlock(); // and the file of a session that is over goes with it
    return false;
}

bool JournalWorker::tidy(PendingSession* pending, QString* reason)
{
    QSqlDatabase db = writer.database();
    QSqlQuery sessions(db);
    if (!sessions.exec(QStringLiteral("SELECT id, started_ms, ended_ms FROM sessions "
                                      "ORDER BY started_ms DESC, id DESC"))) {
        *reason = SessionSchema::describe(sessions.lastError());
        return false;
    }
    struct Found
    {
        qint64 id;
        qint64 started;
        bool ended;
    };
    QVector<Found> found;
    while (sessions.next())
        found.append({ sessions.value(0).toLongLong(), sessions.value(1).toLongLong(),
            !sessions.value(2).isNull() });
    sessions.finish();

    const qint64 oldest = QDateTime::currentDateTime().addDays(-keepDays).toMSecsSinceEpoch();
    QSqlQuery unsaved(db);
    unsaved.prepare(
        QStringLiteral("SELECT count(DISTINCT i.id), count(r.id) FROM items i JOIN readings r "
                       "ON r.item_id = i.id WHERE i.session_id = ? AND i.saved = 0"));
    QVector<qint64> doomed;
    for (const Found& session : found) {
        if (isLive(session.id))
            continue;
        unsaved.bindValue(0, session.id);
        if (!unsaved.exec() || !unsaved.next()) {
            *reason = SessionSchema::describe(unsaved.lastError());
            return false;
        }
        const int items = unsaved.value(0).toInt();
        const int readings = unsaved.value(1).toInt();
        unsaved.finish();
        if (session.started < oldest || readings == 0) {
            doomed << session.id;
        } else if (pending->isEmpty()) {
            pending->session = session.id;
            pending->items = items;
            pending->readings = readings;
            pending->started = QDateTime::fromMSecsSinceEpoch(session.started);
            pending->endedCleanly = session.ended;
        }
    }
    if (doomed.isEmpty())
        return true;
    bool removed = writer.begin();
    for (qint64 id : doomed)
        removed = removed && writer.removeSession(id);
    if (!removed) {
        *reason = writer.errorString();
        writer.rollback();
        return false;
    }
    if (!writer.commit()) {
        *reason = writer.errorString();
        return false;
    }
    return true;
}

void JournalWorker::apply(const QVector<JournalOp>& ops)
{
    if (broken || ops.isEmpty())
        return;
    if (!writer.begin()) {
        fail(writer.errorString());
        return;
    }
    for (const JournalOp& op : ops) {
        if (!applyOne(op)) {
            const QString reason = writer.errorString();
            writer.rollback();
            fail(reason);
            return;
        }
    }
    if (!writer.commit()) {
        fail(writer.errorString());
        return;
    }
    emit written();
}

bool JournalWorker::applyOne(const JournalOp& op)
{
    if (op.kind == JournalOp::AddItem) {
        const qint64 id = writer.addItem(session, op.item, op.key);
        stored.insert(op.key, id);
        return id != 0;
    }
    if (op.kind == JournalOp::AdoptItem) {
        // A key that had an item of its own (the empty store item) gives it up.
        const qint64 previous = stored.value(op.key);
        if (previous != 0 && !writer.removeItem(previous))
            return false;
        stored.insert(op.key, op.stored);
        return writer.moveItem(op.stored, session, op.key, op.type);
    }
    if (op.kind == JournalOp::DiscardSession)
        return op.stored == session || writer.removeSession(op.stored);
    if (op.kind == JournalOp::EndSession)
        return writer.endSession(session, QDateTime::currentDateTime());

    const qint64 item = stored.value(op.key);
    // Changes to an item the journal never had (it was added while the journal failed) are
    // no concern of the file.
    if (item == 0)
        return true;
    switch (op.kind) {
    case JournalOp::AppendReading:
        return writer.appendReading(item, op.reading);
    case JournalOp::RenameItem:
        return writer.renameItem(item, op.text);
    case JournalOp::SetItemUnit:
        return writer.setItemUnit(item, op.text);
    case JournalOp::SetItemProperties:
        return writer.setItemProperties(item, op.properties);
    case JournalOp::SetItemSaved:
        return writer.setItemSaved(item, op.saved);
    case JournalOp::ClearItem:
        return writer.clearItem(item);
    case JournalOp::RemoveItem:
        stored.remove(op.key);
        return writer.removeItem(item);
    default:
        return true;
    }
}

void JournalWorker::finish()
{
    if (!broken && session != 0) {
        if (!writer.begin() || !writer.endSession(session, QDateTime::currentDateTime())
            || !writer.commit())
            writer.rollback();
    }
    writer.close();
    lock.reset();
}

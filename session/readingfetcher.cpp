#include "readingfetcher.h"

#include "sessionschema.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

constexpr int chunkRows = 4096;
// Chunks waiting for the caller, at most: the fetcher runs only a little ahead.
constexpr size_t queuedChunks = 16;

} // namespace

// Restoring a million readings is bound by the columns fetched per row: SQLite packs the small
// fields into two numbers, and marks a field outside its range so that it is refused.
const char* const ReadingFetcher::query
    = "SELECT time_ms, utc_offset, value, text, extra, store_index,"
      " (CASE WHEN state BETWEEN -1 AND 2 THEN state + 1 ELSE 7 END)"
      " | ((from_store != 0) << 3)"
      " | ((CASE WHEN unit_code BETWEEN 0 AND 15 THEN unit_code ELSE 16 END) << 4)"
      " | ((CASE WHEN status BETWEEN 0 AND 15 THEN status ELSE 16 END) << 9)"
      " | ((CASE WHEN battery BETWEEN 0 AND 3 THEN battery ELSE 4 END) << 14),"
      " CASE WHEN unit_text BETWEEN 0 AND 2097151 AND band BETWEEN 0 AND 2097151"
      " AND detection BETWEEN 0 AND 2097151"
      " THEN unit_text | (band << 21) | (detection << 42) ELSE -1 END"
      " FROM readings WHERE item_id = ? ORDER BY id";

ReadingFetcher::ReadingFetcher(const QString& fileName, qint64 item)
    : thread(&ReadingFetcher::run, this, fileName, item)
{ }

ReadingFetcher::~ReadingFetcher()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

QString ReadingFetcher::error() const
{
    std::lock_guard<std::mutex> lock(const_cast<std::mutex&>(mutex));
    return failure;
}

bool ReadingFetcher::next(QVector<Row>* rows)
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return !chunks.empty() || finished; });
    if (chunks.empty())
        return false;
    *rows = std::move(chunks.front());
    chunks.pop_front();
    lock.unlock();
    changed.notify_all();
    return true;
}

void ReadingFetcher::run(QString fileName, qint64 item)
{
    static QAtomicInt counter;
    const QString connection
        = QStringLiteral("vibview-reading-fetcher-%1").arg(counter.fetchAndAddRelaxed(1));
    QString reason;
    {
        // A connection of this thread's own: Qt's connections stay in the thread that made them.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(fileName);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        QSqlQuery rows(db);
        rows.setForwardOnly(true);
        if (!db.open()) {
            reason = SessionSchema::describe(db.lastError());
        } else {
            rows.exec(QStringLiteral("PRAGMA trusted_schema = OFF"));
            rows.exec(QStringLiteral("PRAGMA cell_size_check = ON"));
            rows.prepare(QString::fromLatin1(query));
            rows.addBindValue(item);
            if (!rows.exec())
                reason = SessionSchema::describe(rows.lastError());
        }
        QVector<Row> chunk;
        chunk.reserve(chunkRows);
        bool more = reason.isEmpty();
        while (more) {
            more = rows.next();
            if (more) {
                Row row;
                row.time = rows.value(0);
                row.offset = rows.value(1).toInt();
                row.value = rows.value(2);
                row.text = rows.value(3);
                row.extra = rows.value(4);
                row.storeIndex = rows.value(5).toInt();
                row.small = rows.value(6).toLongLong();
                row.textIds = rows.value(7).toLongLong();
                chunk.append(row);
            } else if (rows.lastError().isValid()) {
                reason = SessionSchema::describe(rows.lastError());
            }
            if (chunk.size() == chunkRows || (!more && !chunk.isEmpty())) {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [this] { return chunks.size() < queuedChunks || stopping; });
                if (stopping)
                    more = false;
                chunks.push_back(std::move(chunk));
                chunk = QVector<Row>();
                chunk.reserve(chunkRows);
                lock.unlock();
                changed.notify_all();
            }
        }
        rows.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    {
        std::lock_guard<std::mutex> lock(mutex);
        failure = reason;
        finished = true;
    }
    changed.notify_all();
}

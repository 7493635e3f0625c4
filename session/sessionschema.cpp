#include "sessionschema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {

// SQLite result codes (sqlite3.h), which Qt passes on as the native error code.
constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;

// Times are milliseconds since 1970 UTC with the UTC offset (seconds) the reading was taken at;
// the unit, band and detection texts repeat on every reading and are kept once in texts.
const char* const tables[] = {
    "CREATE TABLE sessions ("
    " id INTEGER PRIMARY KEY,"
    " started_ms INTEGER NOT NULL,"
    " ended_ms INTEGER," // NULL while recording, or when it never ended cleanly
    " program TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE items ("
    " id INTEGER PRIMARY KEY,"
    " session_id INTEGER NOT NULL REFERENCES sessions(id),"
    " position INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " type INTEGER NOT NULL," // 1 live measurement, 3 the meter's memory
    " unit TEXT NOT NULL DEFAULT '',"
    " properties TEXT NOT NULL DEFAULT '{}'," // a JSON object
    " saved INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE texts (id INTEGER PRIMARY KEY, text TEXT NOT NULL UNIQUE)",
    "CREATE TABLE readings ("
    " id INTEGER PRIMARY KEY,"
    " item_id INTEGER NOT NULL REFERENCES items(id),"
    " time_ms INTEGER," // NULL: no time
    " utc_offset INTEGER NOT NULL DEFAULT 0,"
    " value REAL," // the first value; NULL when the reading has none
    " text TEXT," // the first value text; NULL when the reading has none
    " extra TEXT," // further values and texts: {"values":[...],"texts":[...]}, usually NULL
    " state INTEGER NOT NULL,"
    " from_store INTEGER NOT NULL,"
    " store_index INTEGER NOT NULL,"
    " unit_code INTEGER NOT NULL,"
    " unit_text INTEGER NOT NULL REFERENCES texts(id),"
    " band INTEGER NOT NULL REFERENCES texts(id),"
    " detection INTEGER NOT NULL REFERENCES texts(id),"
    " status INTEGER NOT NULL," // bit n: status flag n
    " battery INTEGER NOT NULL)",
    "CREATE INDEX readings_by_item ON readings(item_id)",
    "CREATE INDEX items_by_session ON items(session_id)",
    // For reading a file with any SQLite tool.
    "CREATE VIEW reading_rows AS SELECT r.id, r.item_id, i.name AS item,"
    " strftime('%Y-%m-%d %H:%M:%f', (r.time_ms + r.utc_offset * 1000) / 1000.0, 'unixepoch')"
    " AS local_time, r.value, r.text, r.state, r.from_store, r.store_index, r.unit_code,"
    " u.text AS unit_text, b.text AS band, d.text AS detection, r.status, r.battery"
    " FROM readings r JOIN items i ON i.id = r.item_id JOIN texts u ON u.id = r.unit_text"
    " JOIN texts b ON b.id = r.band JOIN texts d ON d.id = r.detection",
};

} // namespace

bool SessionSchema::create(QSqlDatabase& db, QString* error)
{
    QSqlQuery query(db);
    QStringList statements;
    statements << QStringLiteral("PRAGMA application_id = %1").arg(applicationId)
               << QStringLiteral("PRAGMA user_version = %1").arg(version);
    for (const char* table : tables)
        statements << QString::fromLatin1(table);
    if (!db.transaction()) {
        *error = describe(db.lastError());
        return false;
    }
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            *error = describe(query.lastError());
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        *error = describe(db.lastError());
        db.rollback();
        return false;
    }
    return true;
}

bool SessionSchema::isEmpty(QSqlDatabase& db, bool* empty, QString* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next()) {
        *error = describe(query.lastError());
        return false;
    }
    *empty = query.value(0).toInt() == 0;
    return true;
}

bool SessionSchema::check(QSqlDatabase& db, QString* reason)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA application_id")) || !query.next()) {
        *reason = describe(query.lastError());
        return false;
    }
    if (query.value(0).toInt() != applicationId) {
        *reason = QStringLiteral("it is not a vibview session (an SQLite file of another program)");
        return false;
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        *reason = describe(query.lastError());
        return false;
    }
    const int found = query.value(0).toInt();
    if (found != version) {
        *reason = found > version
            ? QStringLiteral("it was written by a newer vibview (format %1; this one reads %2)")
                  .arg(found)
                  .arg(version)
            : QStringLiteral("its format %1 is unknown").arg(found);
        return false;
    }
    // Only plain tables are read: a view or anything else under these names is not ours.
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                   "name IN ('sessions', 'items', 'texts', 'readings')"))
        || !query.next()) {
        *reason = describe(query.lastError());
        return false;
    }
    if (query.value(0).toInt() != 4) {
        *reason = QStringLiteral("its tables are missing or damaged");
        return false;
    }
    return true;
}

int SessionSchema::resultCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xFF : 0;
}

bool SessionSchema::isDamage(const QSqlError& error)
{
    const int code = resultCode(error);
    return code == SqliteCorrupt || code == SqliteNotADatabase;
}

QString SessionSchema::describe(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

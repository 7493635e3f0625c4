#include "sessionwriter.h"

#include "sessionschema.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QVariant>

namespace {

QString newConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("vibview-session-writer-%1").arg(counter.fetchAndAddRelaxed(1));
}

// The properties column holds the item's properties as compact JSON.
QString propertiesText(const QJsonObject& properties)
{
    return QString::fromUtf8(QJsonDocument(properties).toJson(QJsonDocument::Compact));
}

// Qt binds a null string as NULL; an empty text is still a text.
QString text(const QString& value)
{
    return value.isNull() ? QLatin1String("") : value;
}

// Bound values per reading.
constexpr int ReadingFields = 15;

// The values and texts past the first, which the meter never sends but a reading may hold.
QVariant extraOf(const ReadingRecord& reading)
{
    if (reading.values.size() <= 1 && reading.texts.size() <= 1)
        return QVariant(QVariant::String);
    QJsonArray values;
    for (int i = 1; i < reading.values.size(); ++i)
        values.append(reading.values.at(i));
    QJsonArray texts;
    for (int i = 1; i < reading.texts.size(); ++i)
        texts.append(text(reading.texts.at(i)));
    return QString::fromUtf8(QJsonDocument(
        QJsonObject { { "values", values },
            { "texts", texts } }).toJson(QJsonDocument::Compact));
}

} // namespace

SessionWriter::SessionWriter()
    : connection(newConnectionName())
{ }

SessionWriter::~SessionWriter()
{
    close();
}

bool SessionWriter::open(const QString& fileName, Mode mode, int pageLimit)
{
    close();
    path = fileName;
    damaged = false;
    emptiesJournal = false;
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(fileName);
    // Another program holding the file for a moment is waited for, not reported.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        fail(db.lastError());
        close();
        return false;
    }
    const bool journal = mode == Mode::Journal;
    // The mode is set first: it reads the file's header, so a file that is no database fails here.
    if (!exec(journal ? QStringLiteral("PRAGMA journal_mode = WAL")
                      : QStringLiteral("PRAGMA journal_mode = TRUNCATE"))
        || !exec(QStringLiteral("PRAGMA synchronous = FULL"))
        || (pageLimit > 0 && !exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pageLimit)))) {
        close();
        return false;
    }
    emptiesJournal = !journal;
    bool empty = false;
    QString reason;
    if (!SessionSchema::isEmpty(db, &empty, &reason)) {
        error = reason;
        damaged = SessionSchema::isDamage(db.lastError());
        close();
        return false;
    }
    if (empty ? !SessionSchema::create(db, &reason) : !SessionSchema::check(db, &reason)) {
        error = reason;
        damaged = !empty;
        close();
        return false;
    }
    return true;
}

void SessionWriter::close()
{
    for (std::unique_ptr<QSqlQuery>& insert : insertReading)
        insert.reset();
    insertText.reset();
    selectText.reset();
    textIds.clear();
    if (db.isValid()) {
        if (db.isOpen() && emptiesJournal) {
            // What was not committed is dropped, as closing would; then the emptied journal goes.
            QSqlQuery query(db);
            query.exec(QStringLiteral("ROLLBACK"));
            query.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
        }
        emptiesJournal = false;
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }
}

bool SessionWriter::fail(const QSqlError& sqlError)
{
    error = SessionSchema::describe(sqlError);
    damaged = SessionSchema::isDamage(sqlError);
    return false;
}

bool SessionWriter::exec(QSqlQuery& query)
{
    return query.exec() || fail(query.lastError());
}

bool SessionWriter::exec(const QString& statement)
{
    QSqlQuery query(db);
    return query.exec(statement) || fail(query.lastError());
}

QSqlQuery& SessionWriter::prepared(std::unique_ptr<QSqlQuery>& query, const char* statement)
{
    return prepared(query, QString::fromLatin1(statement));
}

QSqlQuery& SessionWriter::prepared(std::unique_ptr<QSqlQuery>& query, const QString& statement)
{
    if (!query) {
        query = std::make_unique<QSqlQuery>(db);
        query->prepare(statement);
    }
    return *query;
}

bool SessionWriter::begin()
{
    return db.transaction() || fail(db.lastError());
}

bool SessionWriter::commit()
{
    if (db.commit())
        return true;
    fail(db.lastError());
    rollback();
    return false;
}

void SessionWriter::rollback()
{
    db.rollback();
    // Texts written in the transaction are gone again.
    textIds.clear();
}

qint64 SessionWriter::beginSession(const QDateTime& started, const QString& program)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO sessions (started_ms, program) VALUES (?, ?)"));
    query.addBindValue(started.toMSecsSinceEpoch());
    query.addBindValue(text(program));
    return exec(query) ? query.lastInsertId().toLongLong() : 0;
}

bool SessionWriter::endSession(qint64 session, const QDateTime& ended)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE sessions SET ended_ms = ? WHERE id = ?"));
    query.addBindValue(ended.toMSecsSinceEpoch());
    query.addBindValue(session);
    return exec(query);
}

bool SessionWriter::removeSession(qint64 session)
{
    const QString id = QString::number(session);
    return exec(QStringLiteral("DELETE FROM readings WHERE item_id IN "
                               "(SELECT id FROM items WHERE session_id = %1)")
                    .arg(id))
        && exec(QStringLiteral("DELETE FROM items WHERE session_id = %1").arg(id))
        && exec(QStringLiteral("DELETE FROM sessions WHERE id = %1").arg(id));
}

qint64 SessionWriter::addItem(qint64 session, const ItemRecord& item, int position)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO items (session_id, position, name, type, unit, "
                                 "properties, saved) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(session);
    query.addBindValue(position);
    query.addBindValue(text(item.name));
    query.addBindValue(item.type);
    query.addBindValue(text(item.unit));
    query.addBindValue(propertiesText(item.properties));
    query.addBindValue(item.saved ? 1 : 0);
    return exec(query) ? query.lastInsertId().toLongLong() : 0;
}

bool SessionWriter::moveItem(qint64 item, qint64 session, int position, int type)
{
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("UPDATE items SET session_id = ?, position = ?, type = ? WHERE id = ?"));
    query.addBindValue(session);
    query.addBindValue(position);
    query.addBindValue(type);
    query.addBindValue(item);
    return exec(query);
}

bool SessionWriter::renameItem(qint64 item, const QString& name)
{
    return updateItem(item, QStringLiteral("name"), text(name));
}

bool SessionWriter::setItemUnit(qint64 item, const QString& unit)
{
    return updateItem(item, QStringLiteral("unit"), text(unit));
}

bool SessionWriter::setItemProperties(qint64 item, const QJsonObject& properties)
{
    return updateItem(item, QStringLiteral("properties"), propertiesText(properties));
}

bool SessionWriter::setItemSaved(qint64 item, bool saved)
{
    return updateItem(item, QStringLiteral("saved"), saved ? 1 : 0);
}

bool SessionWriter::updateItem(qint64 item, const QString& column, const QVariant& value)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE items SET %1 = ? WHERE id = ?").arg(column));
    query.addBindValue(value);
    query.addBindValue(item);
    return exec(query);
}

bool SessionWriter::clearItem(qint64 item)
{
    return exec(QStringLiteral("DELETE FROM readings WHERE item_id = %1").arg(item));
}

bool SessionWriter::removeItem(qint64 item)
{
    return clearItem(item) && exec(QStringLiteral("DELETE FROM items WHERE id = %1").arg(item));
}

qint64 SessionWriter::textId(const QString& value)
{
    const QString stored = text(value);
    const auto found = textIds.constFind(stored);
    if (found != textIds.constEnd())
        return *found;
    QSqlQuery& insert = prepared(insertText, "INSERT OR IGNORE INTO texts (text) VALUES (?)");
    insert.bindValue(0, stored);
    if (!exec(insert))
        return 0;
    QSqlQuery& select = prepared(selectText, "SELECT id FROM texts WHERE text = ?");
    select.bindValue(0, stored);
    if (!exec(select))
        return 0;
    if (!select.next()) {
        error = QStringLiteral("a text could not be stored");
        return 0;
    }
    const qint64 id = select.value(0).toLongLong();
    select.finish();
    textIds.insert(stored, id);
    return id;
}

bool SessionWriter::appendReading(qint64 item, const ReadingRecord& reading)
{
    return insertReadings(item, &reading, 1);
}

bool SessionWriter::appendReadings(qint64 item, const QVector<ReadingRecord>& readings)
{
    return insertReadings(item, readings.constData(), readings.size());
}

bool SessionWriter::insertReadings(qint64 item, const ReadingRecord* readings, int count)
{
    static const QString columns = QStringLiteral(
        "INSERT INTO readings (item_id, time_ms, utc_offset, value, text, extra, state, "
        "from_store, store_index, unit_code, unit_text, band, detection, status, battery) "
        "VALUES ");
    static const QString row = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    // Runs of 64, 32, ... 1 readings: most of SQLite's work per statement is done once per run.
    for (int level = BatchLevels - 1; level >= 0; --level) {
        const int rows = 1 << level;
        while (count >= rows) {
            if (!insertReading[level])
                prepared(insertReading[level],
                    columns + (row + QLatin1String(", ")).repeated(rows - 1) + row);
            QSqlQuery& insert = *insertReading[level];
            for (int i = 0; i < rows; ++i) {
                if (!bindReading(insert, i * ReadingFields, item, readings[i]))
                    return false;
            }
            if (!exec(insert))
                return false;
            readings += rows;
            count -= rows;
        }
    }
    return true;
}

bool SessionWriter::bindReading(
    QSqlQuery& insert, int first, qint64 item, const ReadingRecord& reading)
{
    // Empty texts are stored like any other, so that every reading names three texts.
    const qint64 unitText = textId(reading.unitText);
    const qint64 band = textId(reading.band);
    const qint64 detection = textId(reading.detection);
    if (!unitText || !band || !detection)
        return false;

    const bool timed = reading.dateTime.isValid();
    insert.bindValue(first + 0, item);
    insert.bindValue(first + 1,
        timed ? QVariant(reading.dateTime.toMSecsSinceEpoch()) : QVariant(QVariant::LongLong));
    insert.bindValue(first + 2, timed ? reading.dateTime.offsetFromUtc() : 0);
    insert.bindValue(first + 3,
        reading.values.isEmpty() ? QVariant(QVariant::Double) : QVariant(reading.values.first()));
    insert.bindValue(first + 4,
        reading.texts.isEmpty() ? QVariant(QVariant::String)
                                : QVariant(text(reading.texts.first())));
    insert.bindValue(first + 5, extraOf(reading));
    insert.bindValue(first + 6, reading.state);
    insert.bindValue(first + 7, reading.fromStore ? 1 : 0);
    insert.bindValue(first + 8, reading.storeIndex);
    insert.bindValue(first + 9, reading.unitCode);
    insert.bindValue(first + 10, unitText);
    insert.bindValue(first + 11, band);
    insert.bindValue(first + 12, detection);
    insert.bindValue(first + 13, reading.status);
    insert.bindValue(first + 14, reading.battery);
    return true;
}

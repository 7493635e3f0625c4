#include "sessionreader.h"

#include "readingfetcher.h"
#include "readingrecord.h"
#include "sessionschema.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace {

QString newConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("vibview-session-reader-%1").arg(counter.fetchAndAddRelaxed(1));
}

// Qt keeps UTC offsets within a day either way.
constexpr int maxOffsetSeconds = 24 * 3600;

bool readExtra(const QString& text, DmmData* reading)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject extra = document.object();
    const QJsonValue values = extra.value(QLatin1String("values"));
    const QJsonValue texts = extra.value(QLatin1String("texts"));
    if (!values.isArray() || !texts.isArray())
        return false;
    for (const QJsonValue value : values.toArray()) {
        if (!value.isDouble())
            return false;
        reading->addValue(value.toDouble());
    }
    for (const QJsonValue value : texts.toArray()) {
        if (!value.isString())
            return false;
        reading->addText(value.toString());
    }
    return true;
}

} // namespace

SessionReader::SessionReader()
    : connection(newConnectionName())
{ }

SessionReader::~SessionReader()
{
    close();
}

bool SessionReader::fail(const QString& reason)
{
    error = reason;
    return false;
}

bool SessionReader::open(const QString& fileName)
{
    close();
    const QFileInfo info(fileName);
    if (!info.isFile())
        return fail(info.exists() ? QStringLiteral("it is not a file")
                                  : QStringLiteral("it does not exist"));
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(fileName);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        const QString reason = SessionSchema::describe(db.lastError());
        close();
        return fail(reason);
    }
    QSqlQuery query(db);
    // A file from elsewhere is data, not code: nothing in its schema may run functions.
    query.exec(QStringLiteral("PRAGMA trusted_schema = OFF"));
    query.exec(QStringLiteral("PRAGMA cell_size_check = ON"));
    QString reason;
    if (!SessionSchema::check(db, &reason)) {
        close();
        return fail(reason);
    }
    return true;
}

void SessionReader::close()
{
    texts.clear();
    textsLoaded = false;
    if (db.isValid()) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }
}

bool SessionReader::loadTexts()
{
    if (textsLoaded)
        return true;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, text FROM texts")))
        return fail(SessionSchema::describe(query.lastError()));
    while (query.next())
        texts.insert(query.value(0).toLongLong(), query.value(1).toString());
    if (query.lastError().isValid())
        return fail(SessionSchema::describe(query.lastError()));
    textsLoaded = true;
    return true;
}

bool SessionReader::items(QList<ItemRecord>* items, qint64 session, bool unsavedOnly)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    QString statement
        = QStringLiteral("SELECT i.id, i.name, i.type, i.unit, i.properties, i.saved, "
                         "(SELECT count(*) FROM readings r WHERE r.item_id = i.id) FROM items i");
    QStringList conditions;
    if (session != 0)
        conditions << QStringLiteral("i.session_id = %1").arg(session);
    if (unsavedOnly)
        conditions << QStringLiteral("i.saved = 0");
    if (!conditions.isEmpty())
        statement += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    statement += QStringLiteral(" ORDER BY i.session_id, i.position, i.id");
    if (!query.exec(statement))
        return fail(SessionSchema::describe(query.lastError()));

    QList<ItemRecord> found;
    while (query.next()) {
        ItemRecord item;
        item.id = query.value(0).toLongLong();
        item.name = query.value(1).toString();
        item.type = query.value(2).toInt();
        item.unit = query.value(3).toString();
        item.saved = query.value(5).toInt() != 0;
        item.readingCount = query.value(6).toInt();
        if (item.type != ItemRecord::LiveMeasure && item.type != ItemRecord::StoreData)
            return fail(
                QStringLiteral("item %1 has an unknown type %2").arg(item.id).arg(item.type));
        const QJsonDocument properties
            = QJsonDocument::fromJson(query.value(4).toString().toUtf8());
        if (!properties.isObject())
            return fail(QStringLiteral("the properties of item %1 are damaged").arg(item.id));
        item.properties = properties.object();
        found << item;
    }
    if (query.lastError().isValid())
        return fail(SessionSchema::describe(query.lastError()));
    *items = found;
    return true;
}

bool SessionReader::readings(qint64 item, std::vector<std::unique_ptr<DmmData>>* readings)
{
    if (!loadTexts())
        return false;
    ReadingFetcher fetcher(db.databaseName(), item);
    std::vector<std::unique_ptr<DmmData>> read;
    // A text is looked up once per run of equal ids, and its string shared by the readings.
    qint64 lastIds[3] = { -1, -1, -1 };
    QString lastTexts[3];
    auto text = [&](int slot, qint64 id, QString* out) {
        if (id != lastIds[slot]) {
            const auto found = texts.constFind(id);
            if (found == texts.constEnd())
                return false;
            lastIds[slot] = id;
            lastTexts[slot] = *found;
        }
        *out = lastTexts[slot];
        return true;
    };
    int number = 0;
    QVector<ReadingFetcher::Row> rows;
    while (fetcher.next(&rows)) {
        for (const ReadingFetcher::Row& row : qAsConst(rows)) {
            ++number;
            auto damaged = [&](const char* what) {
                return fail(QStringLiteral("item %1, reading %2 has %3")
                                .arg(item)
                                .arg(number)
                                .arg(QLatin1String(what)));
            };
            auto reading = std::make_unique<DmmData>();
            const QVariant& time = row.time;
            const int offset = row.offset;
            if (!time.isNull()) {
                if (std::abs(offset) > maxOffsetSeconds)
                    return damaged("an impossible UTC offset");
                // The offset the reading was taken at, so it shows the same time of day anywhere.
                const QDateTime dateTime
                    = QDateTime::fromMSecsSinceEpoch(time.toLongLong(), Qt::OffsetFromUTC, offset);
                if (!dateTime.isValid())
                    return damaged("an impossible time");
                reading->setDateTime(dateTime);
            }
            if (!row.value.isNull())
                reading->addValue(row.value.toDouble());
            if (!row.text.isNull())
                reading->addText(row.text.toString());
            if (!row.extra.isNull() && !readExtra(row.extra.toString(), reading.get()))
                return damaged("damaged further values");
            const int storeIndex = row.storeIndex;
            if (storeIndex < 0)
                return damaged("a negative record number");
            reading->setStoreIndex(storeIndex);

            const qint64 small = row.small;
            const int state = int(small & 7) - 1;
            const int unitCode = int(small >> 4) & 31;
            const int status = int(small >> 9) & 31;
            const int battery = int(small >> 14) & 7;
            if (state > DmmData::NoReading)
                return damaged("an unknown state");
            if (unitCode > 15)
                return damaged("an unknown unit code");
            if (status > 15)
                return damaged("unknown status flags");
            if (battery > 3)
                return damaged("an unknown battery level");
            reading->setState(state);
            reading->setFromStore(small & 8);
            ReadingRecord::setStatusBits(*reading, status);
            reading->setBattery(battery);

            const qint64 ids = row.textIds;
            constexpr qint64 idMask = (qint64(1) << 21) - 1;
            DmmData::Unit unit;
            unit.code = unitCode;
            QString band;
            QString detection;
            if (ids < 0 || !text(0, ids & idMask, &unit.text)
                || !text(1, (ids >> 21) & idMask, &band)
                || !text(2, (ids >> 42) & idMask, &detection))
                return damaged("a missing text");
            reading->setUnit(unit);
            reading->setBand(band);
            reading->setDetection(detection);
            read.push_back(std::move(reading));
        }
    }
    if (!fetcher.error().isEmpty())
        return fail(fetcher.error());
    *readings = std::move(read);
    return true;
}

bool SessionReader::readAll(std::vector<LoadedItem>* loaded)
{
    QList<ItemRecord> records;
    if (!items(&records))
        return false;
    std::vector<LoadedItem> all;
    all.reserve(size_t(records.size()));
    for (const ItemRecord& record : records) {
        LoadedItem item;
        item.record = record;
        if (!readings(record.id, &item.readings))
            return false;
        all.push_back(std::move(item));
    }
    *loaded = std::move(all);
    return true;
}

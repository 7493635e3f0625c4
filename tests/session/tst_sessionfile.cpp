// Session files: what is saved comes back identical, another SQLite tool reads the same, damaged
// and foreign files are refused with a reason, and a save replaces the file whole or not at all.

#include "readingrecord.h"
#include "sessionreader.h"
#include "sessionsaver.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

ReadingRecord record(int n)
{
    ReadingRecord r;
    r.dateTime = QDateTime(QDate(2026, 12, 8), QTime(14, 3, 5, 250)).addMSecs(n * 1001);
    r.values << n * 1.25;
    r.texts << QString::number(n * 1.25, 'f', 2).rightJustified(5);
    r.unitCode = 2;
    r.unitText = QStringLiteral("cm/s");
    r.band = QStringLiteral("10-1kHz");
    r.detection = QStringLiteral("Vrms");
    r.battery = 3;
    return r;
}

// Every field, the time to the millisecond with its offset from UTC.
QString describe(const DmmData& d)
{
    QStringList values;
    for (double value : d.values())
        values << QString::number(value, 'g', 17);
    return QStringLiteral("%1 %2 [%3] [%4] %5 %6 %7 %8 %9 %10 %11 %12 %13")
        .arg(d.dateTime().isValid() ? QString::number(d.dateTime().toMSecsSinceEpoch())
                                    : QStringLiteral("-"))
        .arg(d.dateTime().isValid() ? d.dateTime().offsetFromUtc() : 0)
        .arg(values.join(','))
        .arg(d.texts().join('|'))
        .arg(d.state())
        .arg(int(d.fromStore()))
        .arg(d.storeIndex())
        .arg(d.unit().code)
        .arg(d.unit().text)
        .arg(d.band())
        .arg(d.detection())
        .arg(ReadingRecord::statusBits(d))
        .arg(d.battery());
}

bool save(const QString& path, const QList<ItemRecord>& items,
    const QList<QList<ReadingRecord>>& readings, QString* error)
{
    SessionSaver saver(path);
    SessionWriter* writer = saver.open();
    if (!writer) {
        *error = saver.errorString();
        return false;
    }
    const qint64 session = writer->beginSession(QDateTime::currentDateTime(), "test");
    for (int i = 0; i < items.size(); ++i) {
        const qint64 id = writer->addItem(session, items.at(i), i + 1);
        for (const ReadingRecord& r : readings.value(i))
            writer->appendReading(id, r);
    }
    if (!saver.commit()) {
        *error = saver.errorString();
        return false;
    }
    return true;
}

// Runs SQL on a file with Qt's driver, outside the session classes.
bool tamper(const QString& path, const QStringList& statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tamper");
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        for (const QString& statement : statements)
            ok = ok && query.exec(statement);
    }
    QSqlDatabase::removeDatabase("tamper");
    return ok;
}

} // namespace

Q_DECLARE_METATYPE(ReadingRecord)

class SessionFileTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void batchKeepsEveryReadingInOrder_data();
    void batchKeepsEveryReadingInOrder();
    void readableByAnotherTool();
    void refusesDamaged_data();
    void refusesDamaged();
    void saveReplacesWholeOrNotAtAll();

private:
    QTemporaryDir dir;
};

void SessionFileTest::roundTrip_data()
{
    QTest::addColumn<ReadingRecord>("reading");

    QTest::newRow("live reading") << record(1);
    ReadingRecord stored = record(2);
    stored.fromStore = true;
    stored.storeIndex = 9999;
    stored.status = 0xA;
    QTest::newRow("stored, status flags") << stored;
    ReadingRecord over = record(3);
    over.state = -1;
    over.texts = QStringList { "   -OL" };
    over.values = { 0.0 };
    QTest::newRow("negative over range") << over;
    ReadingRecord untimed = record(4);
    untimed.dateTime = QDateTime();
    untimed.values.clear();
    untimed.texts.clear();
    untimed.unitText.clear();
    untimed.band.clear();
    untimed.detection.clear();
    QTest::newRow("no time, no value, empty texts") << untimed;
    ReadingRecord more = record(5);
    more.values << -2.5 << 1e-9;
    more.texts << ""
               << "x,\"y\"";
    QTest::newRow("further values and texts") << more;
    ReadingRecord east = record(6);
    east.dateTime = QDateTime(QDate(2026, 3, 29), QTime(2, 30, 0, 1), Qt::OffsetFromUTC, 19800);
    QTest::newRow("UTC offset +05:30") << east;
    ReadingRecord west = record(7);
    west.dateTime
        = QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999), Qt::OffsetFromUTC, -36000);
    QTest::newRow("UTC offset -10:00") << west;
}

void SessionFileTest::roundTrip()
{
    QFETCH(ReadingRecord, reading);
    const QString path = dir.filePath(QStringLiteral("round.vibview"));
    ItemRecord item;
    item.name = QStringLiteral("Pump 3 \"north\", bearing");
    item.unit = reading.unitText;
    item.properties = QJsonObject { { "note", "warm" }, { "alert", 4.5 } };
    ItemRecord store;
    store.name = QStringLiteral("Store Data");
    store.type = ItemRecord::StoreData;
    QString error;
    QVERIFY2(
        save(path, { item, store }, { { record(0), reading }, {} }, &error), qPrintable(error));

    SessionReader reader;
    std::vector<LoadedItem> loaded;
    QVERIFY2(reader.open(path) && reader.readAll(&loaded), qPrintable(reader.errorString()));
    QCOMPARE(int(loaded.size()), 2);
    QCOMPARE(loaded[0].record.name, item.name);
    QCOMPARE(loaded[0].record.unit, item.unit);
    QCOMPARE(loaded[0].record.properties, item.properties);
    QCOMPARE(loaded[0].record.type, int(ItemRecord::LiveMeasure));
    QCOMPARE(loaded[1].record.type, int(ItemRecord::StoreData));
    QVERIFY(loaded[1].readings.empty());
    QCOMPARE(int(loaded[0].readings.size()), 2);
    QCOMPARE(describe(*loaded[0].readings[0]), describe(*record(0).toReading()));
    QCOMPARE(describe(*loaded[0].readings[1]), describe(*reading.toReading()));
    // The time of day shows as it did where the reading was taken.
    const QString wallClock = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
    QCOMPARE(loaded[0].readings[1]->dateTime().toString(wallClock),
        reading.dateTime.toString(wallClock));
}

void SessionFileTest::batchKeepsEveryReadingInOrder_data()
{
    QTest::addColumn<int>("count");
    // Written in runs of 64, 32, ... 1: none, one, a whole run, every run size, several whole runs.
    QTest::newRow("0") << 0;
    QTest::newRow("1") << 1;
    QTest::newRow("64") << 64;
    QTest::newRow("127") << 127;
    QTest::newRow("200") << 200;
}

void SessionFileTest::batchKeepsEveryReadingInOrder()
{
    QFETCH(int, count);
    QVector<ReadingRecord> readings;
    for (int i = 0; i < count; ++i) {
        ReadingRecord r = record(i);
        // Readings that differ in every field, so that a reading bound in another's place shows.
        r.state = i % 3 - 1;
        r.status = i % 16;
        r.battery = i % 4;
        r.storeIndex = i;
        if (i % 5 == 0)
            r.texts << QString::number(i);
        readings << r;
    }
    const QString path = dir.filePath(QStringLiteral("batch%1.vibview").arg(count));
    SessionSaver saver(path);
    SessionWriter* writer = saver.open();
    QVERIFY2(writer, qPrintable(saver.errorString()));
    ItemRecord item;
    item.name = QStringLiteral("Batch");
    const qint64 id
        = writer->addItem(writer->beginSession(QDateTime::currentDateTime(), "test"), item, 1);
    QVERIFY2(
        writer->appendReadings(id, readings) && saver.commit(), qPrintable(saver.errorString()));

    SessionReader reader;
    std::vector<LoadedItem> loaded;
    QVERIFY2(reader.open(path) && reader.readAll(&loaded), qPrintable(reader.errorString()));
    QCOMPARE(int(loaded.size()), 1);
    QCOMPARE(int(loaded[0].readings.size()), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(describe(*loaded[0].readings[i]), describe(*readings.at(i).toReading()));
}

void SessionFileTest::readableByAnotherTool()
{
    const QString sqlite = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (sqlite.isEmpty())
        QSKIP("the sqlite3 command-line tool is not installed (scripts/deps.sh installs it)");
    const QString path = dir.filePath(QStringLiteral("other.vibview"));
    ItemRecord item;
    item.name = QStringLiteral("Fan");
    QString error;
    QVERIFY2(save(path, { item }, { { record(0), record(1) } }, &error), qPrintable(error));

    QProcess tool;
    tool.start(sqlite,
        { "-separator", "|", path,
            "PRAGMA application_id; PRAGMA user_version; SELECT item, local_time, text, "
            "unit_text, band, detection FROM reading_rows ORDER BY id;" });
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
        QStringList({ QString::number(0x56625677), "1",
            "Fan|2026-12-08 14:03:05.250| 0.00|cm/s|10-1kHz|Vrms",
            "Fan|2026-12-08 14:03:06.251| 1.25|cm/s|10-1kHz|Vrms" }));
}

void SessionFileTest::refusesDamaged_data()
{
    QTest::addColumn<QByteArray>("bytes"); // the file, when not made from a good one
    QTest::addColumn<QStringList>("sql"); // run on a good file
    QTest::addColumn<QString>("reason");

    QTest::newRow("a text file") << QByteArray("No.,Date/Time\r\n") << QStringList()
                                 << "file is not a database";
    QTest::newRow("an empty file") << QByteArray("") << QStringList() << "not a vibview session";
    QTest::newRow("another program's database")
        << QByteArray() << QStringList { "PRAGMA application_id = 42" } << "not a vibview session";
    QTest::newRow("a newer format") << QByteArray() << QStringList { "PRAGMA user_version = 2" }
                                    << "written by a newer vibview (format 2";
    QTest::newRow("a view in place of a table")
        << QByteArray()
        << QStringList { "ALTER TABLE readings RENAME TO old",
               "CREATE VIEW readings AS SELECT * FROM old" }
        << "tables are missing";
    QTest::newRow("a missing text")
        << QByteArray() << QStringList { "DELETE FROM texts WHERE text = 'Vrms'" }
        << "item 1, reading 1 has a missing text";
    QTest::newRow("an unknown state")
        << QByteArray() << QStringList { "UPDATE readings SET state = 7 WHERE id = 2" }
        << "item 1, reading 2 has an unknown state";
    QTest::newRow("a text id out of range")
        << QByteArray() << QStringList { "UPDATE readings SET band = 5000000 WHERE id = 2" }
        << "item 1, reading 2 has a missing text";
    QTest::newRow("a state that is text")
        << QByteArray() << QStringList { "UPDATE readings SET state = 'x' WHERE id = 1" }
        << "item 1, reading 1 has an unknown state";
    QTest::newRow("an unknown unit code")
        << QByteArray() << QStringList { "UPDATE readings SET unit_code = 16 WHERE id = 2" }
        << "item 1, reading 2 has an unknown unit code";
    QTest::newRow("an unknown battery level")
        << QByteArray() << QStringList { "UPDATE readings SET battery = 4" }
        << "item 1, reading 1 has an unknown battery level";
    QTest::newRow("damaged further values")
        << QByteArray() << QStringList { "UPDATE readings SET extra = '[1' WHERE id = 2" }
        << "item 1, reading 2 has damaged further values";
    QTest::newRow("an unknown item type")
        << QByteArray() << QStringList { "UPDATE items SET type = 0" }
        << "item 1 has an unknown type 0";
    QTest::newRow("damaged properties")
        << QByteArray() << QStringList { "UPDATE items SET properties = '7'" }
        << "the properties of item 1 are damaged";
}

void SessionFileTest::refusesDamaged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, sql);
    QFETCH(QString, reason);
    const QString path = dir.filePath(QStringLiteral("damaged.vibview"));
    QFile::remove(path);
    if (sql.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    } else {
        QString error;
        QVERIFY2(
            save(path, { ItemRecord() }, { { record(0), record(1) } }, &error), qPrintable(error));
        QVERIFY(tamper(path, sql));
    }
    SessionReader reader;
    std::vector<LoadedItem> loaded;
    QVERIFY(!(reader.open(path) && reader.readAll(&loaded)));
    QVERIFY2(reader.errorString().contains(reason), qPrintable(reader.errorString()));
    QVERIFY(loaded.empty());
}

void SessionFileTest::saveReplacesWholeOrNotAtAll()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.vibview"));
    QString error;
    ItemRecord first;
    first.name = QStringLiteral("first");
    QVERIFY2(save(path, { first }, { { record(0) } }, &error), qPrintable(error));
    ItemRecord second;
    second.name = QStringLiteral("second");
    QVERIFY2(save(path, { second }, { { record(1), record(2) } }, &error), qPrintable(error));
    SessionReader reader;
    QList<ItemRecord> items;
    QVERIFY(reader.open(path) && reader.items(&items));
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first().name, QStringLiteral("second"));
    QCOMPARE(items.first().readingCount, 2);
    reader.close();

    // A save that cannot finish leaves the file as it was and nothing beside it.
    {
        SessionSaver saver(path);
        SessionWriter* writer = saver.open();
        QVERIFY(writer);
        writer->addItem(writer->beginSession(QDateTime::currentDateTime(), "test"), first, 1);
        // Written beside the target, which stays as it is until the commit.
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() > 1);
    }
    QVERIFY(reader.open(path) && reader.items(&items));
    QCOMPARE(items.first().name, QStringLiteral("second"));
    QCOMPARE(
        QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "kept.vibview" });

    SessionSaver nowhere(dir.filePath(QStringLiteral("missing/folder/x.vibview")));
    QVERIFY(!nowhere.open());
    QVERIFY(!nowhere.errorString().isEmpty());
    SessionSaver overFolder(dir.path());
    QVERIFY(!overFolder.open());
    QCOMPARE(overFolder.errorString(), QStringLiteral("it is not a file"));
}

QTEST_GUILESS_MAIN(SessionFileTest)
#include "tst_sessionfile.moc"

// The recording journal on its own: what it is given reaches the file, earlier sessions are
// tidied and offered, and a session still being recorded elsewhere is left alone.

#include "journal.h"
#include "sessionreader.h"
#include "sessionwriter.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

DmmData* reading(double value)
{
    auto* d = new DmmData;
    d->setDateTime(QDateTime::currentDateTime());
    d->addValue(value);
    d->addText(QString::number(value, 'f', 2));
    d->setUnit(2, QStringLiteral("cm/s"));
    return d;
}

bool waitWritten(Journal& journal)
{
    journal.flush();
    return QTest::qWaitFor([&journal] { return journal.isWritten(); }, 30000);
}

// One session written straight into the journal file: its items' names, and per item whether
// it holds an unsaved reading.
qint64 addSession(const QString& file, const QDateTime& started, bool ended, bool unsaved)
{
    SessionWriter writer;
    if (!writer.open(file, SessionWriter::Mode::Journal) || !writer.begin())
        return 0;
    const qint64 session = writer.beginSession(started, "test");
    ItemRecord item;
    item.name = started.toString(Qt::ISODate);
    item.saved = !unsaved;
    const qint64 id = writer.addItem(session, item, 1);
    ReadingRecord r;
    r.dateTime = started;
    writer.appendReading(id, r);
    if (ended)
        writer.endSession(session, started.addSecs(60));
    return writer.commit() ? session : 0;
}

} // namespace

class JournalTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void changesReachTheFile();
    void earlierSessionsTidiedAndOffered();
    void sessionRecordedElsewhereIsLeftAlone();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void JournalTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    Journal::setFolderOverride(dir->path());
}

void JournalTest::cleanup()
{
    Journal::setFolderOverride(QString());
    dir.reset();
}

void JournalTest::changesReachTheFile()
{
    Journal journal(QStringLiteral("test"));
    QSignalSpy ready(&journal, &Journal::ready);
    journal.start();
    ItemRecord first;
    first.name = QStringLiteral("first");
    const int a = journal.addItem(first);
    const int b = journal.addItem(first);
    const int gone = journal.addItem(first);
    std::unique_ptr<DmmData> one(reading(1)), two(reading(2)), three(reading(3));
    journal.appendReading(a, *one);
    journal.appendReading(b, *two);
    journal.clearItem(b);
    journal.appendReading(b, *three);
    journal.renameItem(b, QStringLiteral("second"));
    journal.setItemUnit(b, QStringLiteral("mm"));
    journal.setItemSaved(a, true);
    journal.appendReading(gone, *one);
    journal.removeItem(gone);
    // Readings alone are written within the interval, without being pushed.
    journal.appendReading(a, *two);
    QVERIFY(!journal.isWritten());
    QTRY_VERIFY_WITH_TIMEOUT(journal.isWritten(), 30000);
    QCOMPARE(ready.size(), 1);
    QVERIFY(!journal.hasFailed());

    SessionReader reader;
    QVERIFY2(reader.open(Journal::filePath()), qPrintable(reader.errorString()));
    QList<ItemRecord> items;
    QVERIFY(reader.items(&items));
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0].name, QStringLiteral("first"));
    QCOMPARE(items[0].readingCount, 2);
    QVERIFY(items[0].saved);
    QCOMPARE(items[1].name, QStringLiteral("second"));
    QCOMPARE(items[1].unit, QStringLiteral("mm"));
    QVERIFY(!items[1].saved);
    std::vector<std::unique_ptr<DmmData>> readings;
    QVERIFY(reader.readings(items[1].id, &readings));
    QCOMPARE(int(readings.size()), 1);
    QCOMPARE(readings[0]->text(0), QStringLiteral("3.00"));
    QCOMPARE(readings[0]->dateTime(), three->dateTime());
}

void JournalTest::earlierSessionsTidiedAndOffered()
{
    QVERIFY(QDir().mkpath(dir->path()));
    const QString file = Journal::filePath();
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 old = addSession(file, now.addDays(-31), false, true);
    const qint64 older = addSession(file, now.addDays(-3), true, true);
    const qint64 crashed = addSession(file, now.addDays(-2), false, true);
    const qint64 saved = addSession(file, now.addDays(-1), true, false);
    QVERIFY(old && older && crashed && saved);

    Journal journal(QStringLiteral("test"));
    QSignalSpy ready(&journal, &Journal::ready);
    journal.start();
    QVERIFY(ready.wait(30000));
    // The newest session with readings never saved; one that ended with everything saved, and
    // one older than 30 days, are gone.
    const auto pending = ready.first().first().value<PendingSession>();
    QCOMPARE(pending.session, crashed);
    QCOMPARE(pending.items, 1);
    QCOMPARE(pending.readings, 1);
    QVERIFY(!pending.endedCleanly);
    SessionReader reader;
    QList<ItemRecord> items;
    QVERIFY(reader.open(file) && reader.items(&items));
    QStringList names;
    for (const ItemRecord& item : items)
        names << item.name;
    QCOMPARE(names,
        QStringList(
            { now.addDays(-3).toString(Qt::ISODate), now.addDays(-2).toString(Qt::ISODate) }));

    journal.discardSession(crashed);
    QVERIFY(waitWritten(journal));
    QVERIFY(reader.items(&items, crashed));
    QVERIFY(items.isEmpty());
}

void JournalTest::sessionRecordedElsewhereIsLeftAlone()
{
    Journal recording(QStringLiteral("first"));
    QSignalSpy firstReady(&recording, &Journal::ready);
    recording.start();
    QVERIFY(firstReady.wait(30000));
    std::unique_ptr<DmmData> one(reading(1));
    recording.appendReading(recording.addItem(ItemRecord()), *one);
    QVERIFY(waitWritten(recording));

    Journal second(QStringLiteral("second"));
    QSignalSpy secondReady(&second, &Journal::ready);
    second.start();
    QVERIFY(secondReady.wait(30000));
    QVERIFY(secondReady.first().first().value<PendingSession>().isEmpty());
}

QTEST_GUILESS_MAIN(JournalTest)
#include "tst_journal.moc"

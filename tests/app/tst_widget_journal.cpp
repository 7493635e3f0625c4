// The window's safety net: the recording journal survives a kill, the notice offers the readings
// of the last session back, session files and CSV exports come back as new items, and journal
// faults are reported once while recording goes on in memory.

#include "widgettestsupport.h"

#include "../hardening/privdrop.h"
#include "exporter.h"
#include "journal.h"
#include "journalnotice.h"
#include "metersim.h"
#include "modaldriver.h"
#include "mydmm.h"
#include "optiondialog.h"
#include "readingrecord.h"
#include "recorder.h"
#include "sessioncommands.h"
#include "sessionsaver.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace WidgetProbe;

namespace {

// Every field of a reading in one line, the time to the millisecond with its UTC offset.
QString describe(const DmmData* d)
{
    QStringList values;
    for (double value : d->values())
        values << QString::number(value, 'g', 17);
    const QDateTime time = d->dateTime();
    return QStringLiteral("%1 %2 %3 [%4] [%5] %6 %7 %8 %9 %10 %11 %12 %13 %14")
        .arg(time.isValid() ? QString::number(time.toMSecsSinceEpoch()) : QStringLiteral("-"))
        .arg(time.isValid() ? QStringLiteral("%1").arg(time.offsetFromUtc()) : QString())
        .arg(time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")))
        .arg(values.join(','))
        .arg(d->texts().join('|'))
        .arg(d->state())
        .arg(int(d->fromStore()))
        .arg(d->storeIndex())
        .arg(d->unit().code)
        .arg(d->unit().text)
        .arg(d->band())
        .arg(d->detection())
        .arg(ReadingRecord::statusBits(*d))
        .arg(d->battery());
}

QStringList describeAll(const ItemData* item)
{
    QStringList lines;
    for (const DmmData* d : item->readings())
        lines << describe(d);
    return lines;
}

// A reading with every field set from n, as no meter frame would make it all at once.
DmmData* sample(int n, int unitCode, const QString& unitText, bool stored = false)
{
    auto* d = new DmmData;
    d->setDateTime(QDateTime(QDate(2026, 3, 29), QTime(1, 59, 58).addMSecs(n * 137)));
    d->addValue(n * 0.25 - 1);
    d->addText(QString::number(n * 0.25 - 1, 'f', 2).rightJustified(5));
    d->setState(n % 4 == 3 ? DmmData::NoReading : DmmData::Numeric);
    d->setFromStore(stored);
    d->setStoreIndex(stored ? 9990 + n : 0);
    d->setUnit(unitCode, unitText);
    d->setBand(n % 2 ? QStringLiteral("10-1kHz") : QStringLiteral("10-10kHz"));
    d->setDetection(n % 3 ? QStringLiteral("Vrms") : QStringLiteral("Dp-p"));
    ReadingRecord::setStatusBits(*d, n % 16);
    d->setBattery(n % 4);
    return d;
}

SessionCommands* sessions(Widget& w)
{
    return w.findChild<SessionCommands*>();
}

JournalNotice* notice(Widget& w)
{
    return w.findChild<JournalNotice*>();
}

// The message lines without the time each starts with ("hh:mm:ss ").
QStringList messages(Widget& w)
{
    QStringList texts;
    auto* list = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text().mid(9);
    return texts;
}

// Waits until the window's journal has opened (or failed); the pending session it found.
PendingSession waitForJournal(Widget& w)
{
    SessionCommands* commands = sessions(w);
    const Journal* journal = commands->journal();
    if (!QTest::qWaitFor([journal] { return journal->isOpen() || journal->hasFailed(); }, 30000))
        QTest::qFail("the journal neither opened nor failed within 30 s", __FILE__, __LINE__);
    return commands->pendingSession();
}

// Waits until everything the window's journal was given is on the disk.
bool waitForWritten(Widget& w)
{
    Journal* journal = sessions(w)->journal();
    journal->flush();
    return QTest::qWaitFor([journal] { return journal->isWritten(); }, 30000)
        && !journal->hasFailed();
}

// The bytes of a session file with one item of two readings, the second at .250 s.
QByteArray sessionFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pump.vibview"));
    {
        SessionSaver saver(path);
        SessionWriter* writer = saver.open();
        if (!writer)
            return QByteArray();
        ItemRecord item;
        item.name = QStringLiteral("Pump");
        item.unit = QStringLiteral("cm/s");
        const qint64 id = writer->addItem(writer->beginSession(QDateTime(), "test"), item, 1);
        for (int n = 0; n < 2; ++n) {
            std::unique_ptr<DmmData> reading(sample(n, 2, "cm/s"));
            reading->setDateTime(QDateTime(QDate(2026, 12, 8), QTime(14, 3, 5 + n, 250 * n)));
            writer->appendReading(id, ReadingRecord::of(*reading));
        }
        if (!saver.commit())
            return QByteArray();
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sessions in the journal that are marked ended.
int endedSessions()
{
    int ended = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "probe");
        db.setDatabaseName(Journal::filePath());
        QSqlQuery query(db);
        if (db.open()
            && query.exec(
                QStringLiteral("SELECT count(*) FROM sessions WHERE ended_ms IS NOT NULL"))
            && query.next())
            ended = query.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("probe");
    return ended;
}

void setEveryFrame(Widget& w)
{
    ModalDriver driver;
    driver.expect([](QWidget* dialogWidget) {
        auto* dialog = qobject_cast<OptionDialog*>(dialogWidget);
        dialog->infinite->setChecked(true);
        dialog->sbSampleRate->setValue(0);
        dialog->btnOk->click();
    });
    action(w, "actionOption")->trigger();
}

// The window as the kill test's child: records every frame of the meter at the port and prints
// each reading it stores, until it is killed.
int runKillChild(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Journal::setFolderOverride(QString::fromLocal8Bit(argv[2]));
    MyDmm::setPortOverride(QString::fromLocal8Bit(argv[3]));
    Widget w;
    w.show();
    setEveryFrame(w);
    QObject::connect(w.findChild<Recorder*>(), &Recorder::readingStored, &w,
        [](ItemData*, const DmmData* reading) {
            std::fputs(qPrintable(QStringLiteral("reading %1\n").arg(describe(reading))), stdout);
            std::fflush(stdout);
        });
    action(w, "actionConnect")->trigger();
    action(w, "actionStart")->trigger();
    return app.exec();
}

} // namespace

class WidgetJournalTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void killLosesAtMostOneSecond();
    void restoreBringsItemsBack();
    void discardForgetsTheSession();
    void exportedAndSavedItemsAreNotOffered();
    void saveAndOpenSession();
    void importAddsItems_data();
    void importAddsItems();
    void faultKeepsRecording_data();
    void faultKeepsRecording();

private:
    std::unique_ptr<QTemporaryDir> folder;
};

void WidgetJournalTest::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    Journal::setFolderOverride(folder->path());
    Journal::setPageLimit(0);
}

void WidgetJournalTest::cleanup()
{
    // Closing a window writes its settings beside the test.
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml"));
    MyDmm::setPortOverride(QString());
    Journal::setFolderOverride(QString());
    Journal::setPageLimit(0);
    folder.reset();
}

void WidgetJournalTest::killLosesAtMostOneSecond()
{
    MeterSim sim;
    const QString port = sim.start({ "--period", "10", "--sequence", "ramp", "--quiet" });
    QVERIFY2(!port.isEmpty(), qPrintable(sim.errorText()));

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), { "--kill-child", folder->path(), port });
    QVERIFY(child.waitForStarted());
    QStringList printed;
    auto collect = [&] {
        while (child.canReadLine()) {
            const QString line = QString::fromLocal8Bit(child.readLine()).trimmed();
            if (line.startsWith(QLatin1String("reading ")))
                printed << line.mid(8);
        }
    };
    // A few seconds at the line's full rate.
    QVERIFY(QTest::qWaitFor(
        [&] {
            child.waitForReadyRead(100);
            collect();
            return printed.size() >= 400 || child.state() == QProcess::NotRunning;
        },
        120000));
    QVERIFY2(printed.size() >= 400, qPrintable(QString::number(printed.size())));
    const QDateTime killed = QDateTime::currentDateTime();
    child.kill();
    QVERIFY(child.waitForFinished());
    collect();
    sim.stop();

    // Every reading stored more than a second before the kill is on the disk.
    const qint64 safeBefore = killed.addMSecs(-1000).toMSecsSinceEpoch();
    int mustBeBack = 0;
    while (mustBeBack < printed.size()
        && printed.at(mustBeBack).section(' ', 0, 0).toLongLong() < safeBefore)
        ++mustBeBack;
    QVERIFY(mustBeBack >= 100);

    Widget w;
    const PendingSession pending = waitForJournal(w);
    QVERIFY(!pending.isEmpty());
    QVERIFY(!pending.endedCleanly);
    QCOMPARE(notice(w)->offerText(),
        QStringLiteral("The last session ended with %1 readings in 1 items that were not saved.")
            .arg(pending.readings));
    notice(w)->findChild<QPushButton*>(QStringLiteral("btnRestore"))->click();
    QCOMPARE(liveNames(w), QStringList({ "Measure1", "Measure1" }));
    const QStringList restored = describeAll(itemData(liveRow(w, 1)));
    QVERIFY2(restored.size() >= mustBeBack,
        qPrintable(QStringLiteral("%1 of %2").arg(restored.size()).arg(mustBeBack)));
    QVERIFY(restored.size() <= printed.size());
    QCOMPARE(restored, printed.mid(0, restored.size()));
}

namespace {

// Properties an engineer gave an item; they travel with it through the journal and the files.
ItemProperties graded()
{
    ItemProperties p;
    p.machineClass = SeverityZones::Part1ClassII;
    p.alertLevel = 0.71;
    p.dangerLevel = 1.8;
    p.note = QStringLiteral("Pump 3, drive end, horizontal");
    return p;
}

} // namespace

void WidgetJournalTest::restoreBringsItemsBack()
{
    QStringList first, second, store;
    {
        Widget w;
        ModalDriver driver;
        QCOMPARE(waitForJournal(w).session, 0);
        action(w, "actionStart")->trigger();
        for (int n = 0; n < 3; ++n) {
            DmmData* d = sample(n, 2, "cm/s");
            first << describe(d);
            deliverLive(w, d);
        }
        itemData(liveRow(w, 0))->setProperties(graded());
        driver.acceptInput(QStringLiteral("Second, with a comma"));
        action(w, "actionItemNew")->trigger();
        action(w, "actionStart")->trigger();
        for (int n = 3; n < 5; ++n) {
            DmmData* d = sample(n, 4, "mm");
            second << describe(d);
            deliverLive(w, d);
        }
        for (int n = 0; n < 2; ++n) {
            DmmData* d = sample(n, 1, "m/S2", true);
            store << describe(d);
            deliverStored(w, d);
        }
        QVERIFY(waitForWritten(w));
    }

    {
        Widget w;
        const PendingSession pending = waitForJournal(w);
        QCOMPARE(pending.readings, 7);
        QVERIFY(pending.endedCleanly);
        QCOMPARE(notice(w)->offerText(),
            QStringLiteral(
                "The last session ended with 7 readings in 3 items that were not saved."));
        QVERIFY(notice(w)->isVisibleTo(&w));
        notice(w)->findChild<QPushButton*>(QStringLiteral("btnRestore"))->click();
        QVERIFY(!notice(w)->isVisibleTo(&w));
        // Measure1 of this window stays first; the restored items follow it.
        QCOMPARE(liveNames(w), QStringList({ "Measure1", "Measure1", "Second, with a comma" }));
        QCOMPARE(itemData(liveRow(w, 0))->readingCount(), 0);
        QCOMPARE(describeAll(itemData(liveRow(w, 1))), first);
        QCOMPARE(itemData(liveRow(w, 1))->unitText(), QStringLiteral("cm/s"));
        QVERIFY(itemData(liveRow(w, 1))->properties() == graded());
        QVERIFY(itemData(liveRow(w, 2))->properties() == ItemProperties());
        QCOMPARE(describeAll(itemData(liveRow(w, 2))), second);
        QCOMPARE(itemData(liveRow(w, 2))->unitText(), QStringLiteral("mm"));
        QCOMPARE(describeAll(itemData(storeRow(w))), store);
        // The restored items are this session's now, and still not saved.
        QVERIFY(waitForWritten(w));
    }

    Widget w;
    QCOMPARE(waitForJournal(w).readings, 7);
    QCOMPARE(waitForJournal(w).items, 3);
}

void WidgetJournalTest::discardForgetsTheSession()
{
    {
        Widget w;
        w.show();
        waitForJournal(w);
        action(w, "actionStart")->trigger();
        deliverLive(w, sample(1, 2, "cm/s"));
        // Closing the window ends its session, while the window is still there.
        QVERIFY(w.close());
        QVERIFY(waitForWritten(w));
        QCOMPARE(endedSessions(), 1);
    }
    {
        Widget w;
        QCOMPARE(waitForJournal(w).readings, 1);
        notice(w)->findChild<QPushButton*>(QStringLiteral("btnDiscard"))->click();
        QVERIFY(!notice(w)->isVisibleTo(&w));
        QCOMPARE(liveNames(w), QStringList { "Measure1" });
        QVERIFY(waitForWritten(w));
    }
    Widget w;
    QVERIFY(waitForJournal(w).isEmpty());
    QVERIFY(notice(w)->offerText().isEmpty());
}

void WidgetJournalTest::exportedAndSavedItemsAreNotOffered()
{
    const QString csv = folder->filePath(QStringLiteral("export.csv"));
    const QString session = folder->filePath(QStringLiteral("all.vibview"));
    {
        Widget w;
        waitForJournal(w);
        ModalDriver driver;
        action(w, "actionStart")->trigger();
        deliverLive(w, sample(1, 2, "cm/s"));
        // Exported: Measure1 is safe in its CSV file.
        w.findChild<Exporter*>()->setFileNameAsker(
            [&](QWidget*, const QString&, const QString&, const QString&) { return csv; });
        driver.clickButton(QMessageBox::Ok);
        w.findChild<Exporter*>()->exportCsv();
        QCOMPARE(driver.last().text, QStringLiteral("The datas is exported successfully."));
        driver.acceptInput(QStringLiteral("B"));
        action(w, "actionItemNew")->trigger();
        action(w, "actionStart")->trigger();
        deliverLive(w, sample(2, 2, "cm/s"));
        QVERIFY(waitForWritten(w));
    }
    {
        Widget w;
        // Only B was never saved.
        QCOMPARE(waitForJournal(w).readings, 1);
        QCOMPARE(waitForJournal(w).items, 1);
        notice(w)->findChild<QPushButton*>(QStringLiteral("btnRestore"))->click();
        QCOMPARE(liveNames(w), QStringList({ "Measure1", "B" }));
        sessions(w)->setFileNameAsker(
            [&](QWidget*, const QString&, const QString&, bool) { return session; });
        action(w, "actionSaveSession")->trigger();
        QVERIFY(QFile::exists(session));
        // A reading after the save makes the item unsaved again.
        action(w, "actionStart")->trigger();
        deliverLive(w, sample(3, 2, "cm/s"));
        QVERIFY(waitForWritten(w));
    }
    Widget w;
    QCOMPARE(waitForJournal(w).readings, 1);
    notice(w)->findChild<QPushButton*>(QStringLiteral("btnRestore"))->click();
    QCOMPARE(liveNames(w), QStringList({ "Measure1", "Measure1" }));
}

void WidgetJournalTest::saveAndOpenSession()
{
    const QString path = folder->filePath(QStringLiteral("kept"));
    QStringList first, store;
    {
        Widget w;
        waitForJournal(w);
        action(w, "actionStart")->trigger();
        for (int n = 0; n < 4; ++n) {
            DmmData* d = sample(n, 2, "cm/s");
            first << describe(d);
            deliverLive(w, d);
        }
        DmmData* stored = sample(7, 1, "m/S2", true);
        store << describe(stored);
        deliverStored(w, stored);
        itemData(liveRow(w, 0))->setProperties(graded());
        sessions(w)->setFileNameAsker(
            [&](QWidget*, const QString&, const QString& filter, bool saving) {
                return saving && filter.contains(QLatin1String("*.vibview")) ? path : QString();
            });
        action(w, "actionSaveSession")->trigger();
        QCOMPARE(messages(w).last(),
            QStringLiteral("The session was saved to %1.vibview.")
                .arg(QDir::toNativeSeparators(path)));
    }
    Widget w;
    // Everything was saved: nothing to restore.
    QVERIFY(waitForJournal(w).isEmpty());
    sessions(w)->setFileNameAsker([&](QWidget*, const QString&, const QString&, bool saving) {
        return saving ? QString() : path + QStringLiteral(".vibview");
    });
    action(w, "actionStart")->trigger();
    deliverLive(w, sample(9, 2, "cm/s"));
    action(w, "actionOpenSession")->trigger();
    // Added under "Live Data"; nothing in the window is replaced.
    QCOMPARE(liveNames(w), QStringList({ "Measure1", "Measure1", "Store Data" }));
    QCOMPARE(itemData(liveRow(w, 0))->readingCount(), 1);
    QCOMPARE(describeAll(itemData(liveRow(w, 1))), first);
    QVERIFY(itemData(liveRow(w, 1))->properties() == graded());
    QCOMPARE(describeAll(itemData(liveRow(w, 2))), store);
    QCOMPARE(itemData(storeRow(w))->readingCount(), 0);
    QCOMPARE(activeName(w), QStringLiteral("Measure1"));
}

void WidgetJournalTest::importAddsItems_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("added"); // item names; none when refused
    QTest::addColumn<QString>("refusal"); // a part of the message naming the reason

    const QByteArray header = "No.,Date/Time,Function,Value,Unit,Frequency(Hz)\r\n";
    QTest::newRow("CSV export") << header
            + "1,2026-12-08 14:03:05,Vrms, 7.52,cm/s,10-1kHz\r\n"
              "2,2026-12-08 14:03:06.250,Vrms, 7.60,cm/s,10-1kHz\r\n"
                                << QStringList { "import" } << QString();
    QTest::newRow("session file") << sessionFile() << QStringList { "Pump" } << QString();
    QTest::newRow("CSV with a bad date on line 3")
        << header
            + "1,2026-12-08 14:03:05,Vrms, 7.52,cm/s,10-1kHz\r\n"
              "2,2026-13-08 14:03:06,Vrms, 7.60,cm/s,10-1kHz\r\n"
        << QStringList() << "line 3: \"2026-13-08 14:03:06\" is not a date and time";
    QTest::newRow("a text file") << QByteArray("hello\n") << QStringList()
                                 << "line 1: this is not the header of a vibview CSV export";
    QTest::newRow("a truncated session")
        << QByteArray("SQLite format 3\0\x10\0", 19) << QStringList() << "not a database";
}

void WidgetJournalTest::importAddsItems()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, added);
    QFETCH(QString, refusal);
    const QString path = folder->filePath(QStringLiteral("import.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    Widget w;
    waitForJournal(w);
    ModalDriver driver;
    sessions(w)->setFileNameAsker([&](QWidget*, const QString&, const QString& filter, bool) {
        return filter.contains(QLatin1String("*.csv")) ? path : QString();
    });
    if (!refusal.isEmpty())
        driver.clickButton(QMessageBox::Ok);
    action(w, "actionImport")->trigger();
    QCOMPARE(liveNames(w), QStringList { "Measure1" } + added);
    if (refusal.isEmpty()) {
        QCOMPARE(driver.seen().size(), 0);
        QCOMPARE(itemData(liveRow(w, 1))->readingCount(), 2);
        QCOMPARE(itemData(liveRow(w, 1))->readings().at(1)->dateTime().time().msec(), 250);
    } else {
        QCOMPARE(driver.pending(), 0);
        QVERIFY2(driver.last().text.contains(QDir::toNativeSeparators(path)),
            qPrintable(driver.last().text));
        QVERIFY2(driver.last().text.contains(refusal), qPrintable(driver.last().text));
    }
}

void WidgetJournalTest::faultKeepsRecording_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("said"); // a part of the message

    QTest::newRow("full disk") << "full"
                               << "database or disk is full";
    QTest::newRow("read-only folder") << "read-only"
                                      << "cannot be written";
    QTest::newRow("damaged journal") << "damaged"
                                     << "was moved aside to";
}

void WidgetJournalTest::faultKeepsRecording()
{
    QFETCH(QString, fault);
    QFETCH(QString, said);
    if (fault == QLatin1String("read-only"))
        RUN_UNPRIVILEGED_AS_ROOT();

    const QString journalPath = folder->filePath(QStringLiteral("journal.sqlite"));
    if (fault == QLatin1String("full")) {
        // Room for the tables and a few pages of readings, as on a disk about to fill up.
        Journal::setPageLimit(12);
    } else if (fault == QLatin1String("read-only")) {
        QVERIFY(
            QFile::setPermissions(folder->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else {
        QFile damaged(journalPath);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(8192, '\x5a'));
    }

    Widget w;
    action(w, "actionStart")->trigger();
    for (int n = 0; n < 600; ++n)
        deliverLive(w, sample(n, 2, "cm/s"));
    sessions(w)->journal()->flush();
    QTRY_VERIFY_WITH_TIMEOUT(notice(w)->problemText().contains(said), 30000);
    // Recording went on in memory, and goes on.
    for (int n = 600; n < 610; ++n)
        deliverLive(w, sample(n, 2, "cm/s"));
    QCOMPARE(itemData(liveRow(w, 0))->readingCount(), 610);
    QCOMPARE(table(w)->rowCount(), 610);
    sessions(w)->journal()->flush();
    QTest::qWait(0);
    // Reported once, in the message list and in the notice.
    const QStringList reported = messages(w).filter(said);
    QCOMPARE(reported.size(), 1);
    QCOMPARE(notice(w)->problemText(), reported.first());
    QVERIFY(notice(w)->isVisibleTo(&w));

    if (fault == QLatin1String("read-only"))
        QFile::setPermissions(folder->path(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (fault == QLatin1String("damaged")) {
        // The damaged file is kept aside, and a new journal records this session.
        const QString aside = reported.first()
                                  .section(QLatin1String("moved aside to "), 1)
                                  .section(QLatin1String(" and a new"), 0, 0);
        QFile kept(aside);
        QVERIFY2(kept.open(QIODevice::ReadOnly), qPrintable(aside));
        QCOMPARE(kept.readAll(), QByteArray(8192, '\x5a'));
        QVERIFY(waitForWritten(w));
    }
}

int main(int argc, char* argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--kill-child") == 0)
        return runKillChild(argc, argv);
    QApplication app(argc, argv);
    WidgetJournalTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_widget_journal.moc"

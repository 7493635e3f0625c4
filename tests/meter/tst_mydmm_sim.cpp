#include "dmmdata.h"
#include "linkreadings.h"
#include "metersim.h"
#include "mydmm.h"

#include <QElapsedTimer>
#include <QtTest>

#include <ctime>

namespace {

double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

// MyDmm against the meter simulator over a real pseudo-terminal.
class MyDmmSimTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensOnce();
    void liveReadingsFollowTheSampleRate_data();
    void liveReadingsFollowTheSampleRate();
    void everyLiveReadingAtRateZero();
    void sampleRateChangesWhileOpen();
    void downloadYieldsStoredReadings_data();
    void downloadYieldsStoredReadings();
    void commandsReachTheMeter();
    void survivesGarbageAndBadChecksums();
    void unplugClosesOnceWithoutBusyLoop();
    void removalNoticeClosesOnlyItsPort();
    void reopensAfterClose();

private:
    bool startSim(const QStringList& arguments);
    MeterSim* sim = nullptr;
};

void MyDmmSimTest::init()
{
    if (MeterSim::program().isEmpty())
        QSKIP("metersim is not part of this build");
    sim = new MeterSim;
}

void MyDmmSimTest::cleanup()
{
    delete sim;
    sim = nullptr;
    MyDmm::setPortOverride(QString());
}

bool MyDmmSimTest::startSim(const QStringList& arguments)
{
    const QString port = sim->start(arguments);
    if (port.isEmpty()) {
        qWarning() << "metersim did not start:" << sim->errorText();
        return false;
    }
    MyDmm::setPortOverride(port);
    return true;
}

void MyDmmSimTest::opensOnce()
{
    QVERIFY(startSim({ "--period", "100" }));
    MyDmm dmm;
    QSignalSpy opened(&dmm, &MyDmm::opened);
    QSignalSpy closed(&dmm, &MyDmm::closed);
    QVERIFY(opened.isValid());
    QVERIFY(dmm.open());
    QCOMPARE(opened.count(), 1);
    QVERIFY(dmm.isOpened());
    const QString name = dmm.portName();
    QVERIFY(!name.isEmpty());
    QVERIFY(sim->portPath().endsWith(name));

    QCOMPARE(dmm.open(), false); // the open link stays as it is
    QCOMPARE(opened.count(), 1);
    QVERIFY(dmm.isOpened());
    QCOMPARE(dmm.portName(), name);
    QVERIFY(!sim->waitForLine("client: connected").isEmpty());

    dmm.close();
    dmm.close();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!dmm.isOpened());
    QVERIFY(dmm.portName().isEmpty());
    QVERIFY(!sim->waitForLine("client: disconnected").isEmpty());
}

void MyDmmSimTest::liveReadingsFollowTheSampleRate_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("windowMs");
    QTest::addColumn<int>("least");
    QTest::addColumn<int>("most");

    // Frames every 100 ms: the tick set at creation lets the first through at once, then one
    // per timer period.
    QTest::newRow("1000 ms over 2.5 s") << 1000 << 2500 << 2 << 4;
    QTest::newRow("300 ms over 1.5 s") << 300 << 1500 << 4 << 7;
}

void MyDmmSimTest::liveReadingsFollowTheSampleRate()
{
    QFETCH(int, rate);
    QFETCH(int, windowMs);
    QFETCH(int, least);
    QFETCH(int, most);
    QVERIFY(
        startSim({ "--period", "100", "--sequence", "ramp", "--step", "1", "--decimals", "0" }));
    MyDmm dmm;
    dmm.setSampleRate(rate);
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    QTest::qWait(windowMs);
    const int sent = sim->countLines("live: ");
    dmm.close();
    QVERIFY2(sent >= windowMs / 100 - 3, qPrintable(QString::number(sent)));
    QVERIFY2(readings.live.size() >= least && readings.live.size() <= most,
        qPrintable(QString::number(readings.live.size())));
    // Passed readings are distinct frames, in order.
    for (int i = 1; i < readings.live.size(); ++i)
        QVERIFY(readings.live.at(i)->value(0) > readings.live.at(i - 1)->value(0));
    QVERIFY(readings.stored.isEmpty());
}

void MyDmmSimTest::sampleRateChangesWhileOpen()
{
    QVERIFY(startSim({ "--period", "40" }));
    MyDmm dmm;
    dmm.setSampleRate(5000);
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    QTest::qWait(400);
    QCOMPARE(readings.live.size(), 1); // the first at once, then the 5 s period has not run out

    dmm.setSampleRate(250); // restarts the timer with the new period
    QTest::qWait(1100);
    const int at250 = readings.live.size() - 1;
    QVERIFY2(at250 >= 3 && at250 <= 5, qPrintable(QString::number(at250)));

    dmm.setSampleRate(0); // no timer: every frame passes
    const int before = readings.live.size();
    const int sentBefore = sim->countLines("live: ");
    QTest::qWait(600);
    const int sent = sim->countLines("live: ") - sentBefore;
    const int passed = readings.live.size() - before;
    QVERIFY2(sent >= 8, qPrintable(QString::number(sent)));
    QVERIFY2(qAbs(passed - sent) <= 2, qPrintable(QString("%1 of %2").arg(passed).arg(sent)));
}

void MyDmmSimTest::everyLiveReadingAtRateZero()
{
    QVERIFY(startSim({ "--period", "30", "--live-count", "20", "--sequence", "ramp", "--step", "1",
        "--decimals", "0" }));
    MyDmm dmm;
    dmm.setSampleRate(0);
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    QVERIFY(!sim->waitForLine("live: 20 ").isEmpty());
    QTRY_COMPARE(readings.live.size(), 20);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(readings.live.at(i)->value(0), double(i));
    QTest::qWait(100);
    QCOMPARE(readings.live.size(), 20);
}

void MyDmmSimTest::downloadYieldsStoredReadings_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("25 records") << 25;
    // More than the terminal buffers at once: the meter side has to wait for the reader.
    QTest::newRow("2000 records") << 2000;
}

void MyDmmSimTest::downloadYieldsStoredReadings()
{
    QFETCH(int, count);
    QVERIFY(startSim({ "--period", "0", "--stored", QString::number(count), "--unit", "4",
        "--detection", "2" }));
    MyDmm dmm;
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    QVERIFY(!sim->waitForLine("client: connected").isEmpty());
    dmm.downloadStore();
    QVERIFY(!sim->waitForLine(QString("download: %1 stored frames").arg(count)).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(readings.stored.size(), count, 20000);
    for (int i = 0; i < count; ++i) {
        const DmmData* d = readings.stored.at(i);
        QCOMPARE(d->storeIndex(), i + 1);
        QVERIFY(d->fromStore());
        QCOMPARE(d->value(0), (i + 1) * 0.5);
        QCOMPARE(d->unit().text, QStringLiteral("mm"));
        QCOMPARE(d->detection(), QStringLiteral("Dp-p"));
    }
    QCOMPARE(dmm.downloadCount(), count);
    QVERIFY(readings.live.isEmpty());
}

void MyDmmSimTest::commandsReachTheMeter()
{
    QVERIFY(startSim({ "--period", "0" }));
    MyDmm dmm;
    QVERIFY(dmm.open());
    QVERIFY(!sim->waitForLine("client: connected").isEmpty());
    dmm.syncTime(QDateTime(QDate(2024, 3, 15), QTime(10, 20, 30)));
    QVERIFY(!sim->waitForLine("clock: 2024-03-15 10:20:30").isEmpty());
    dmm.syncTime(QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)));
    QVERIFY(!sim->waitForLine("clock: 2099-12-31 23:59:59").isEmpty());
    QVERIFY(dmm.sendCommand10());
    QVERIFY(!sim->waitForLine("command: 10").isEmpty());
    QCOMPARE(sim->countLines("command: bad frame"), 0);
    QCOMPARE(sim->countLines("command: unknown"), 0);
}

void MyDmmSimTest::survivesGarbageAndBadChecksums()
{
    QVERIFY(startSim({ "--period", "20", "--live-count", "80", "--garbage", "0.3", "--bad-checksum",
        "0.2", "--seed", "7", "--sequence", "ramp", "--step", "1", "--decimals", "0" }));
    MyDmm dmm;
    dmm.setSampleRate(0);
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    QVERIFY(!sim->waitForLine("live: 80").isEmpty());
    int intact = 0;
    int garbled = 0;
    QList<double> expected;
    const QStringList lines = sim->lines();
    for (const QString& line : lines) {
        if (!line.startsWith("live: "))
            continue;
        garbled += line.contains(" garbage");
        if (!line.contains(" bad-checksum")) {
            ++intact;
            expected.append(line.section(' ', 1, 1).toInt() - 1);
        }
    }
    QVERIFY(garbled > 0);
    QVERIFY(intact < 80);
    // Every frame sent intact arrives, garbage in front of it or not; damaged ones never do.
    QTRY_COMPARE(readings.live.size(), intact);
    for (int i = 0; i < intact; ++i)
        QCOMPARE(readings.live.at(i)->value(0), expected.at(i));
}

void MyDmmSimTest::unplugClosesOnceWithoutBusyLoop()
{
    QVERIFY(startSim({ "--period", "50", "--unplug-after", "700", "--quiet" }));
    MyDmm dmm;
    dmm.setSampleRate(0);
    QSignalSpy closed(&dmm, &MyDmm::closed);
    QVERIFY(closed.isValid());
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    QVERIFY(sim->waitForExit(5000));
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(!dmm.isOpened());
    QVERIFY(readings.live.size() > 0);

    // A port left open on a dead terminal spins at full speed; a closed link lets us idle.
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(500);
    const double cpu = cpuSeconds() - cpuBefore;
    QVERIFY2(cpu < 0.5 * wall.elapsed() / 1000.0, qPrintable(QString("cpu %1 s").arg(cpu)));
    QCOMPARE(closed.count(), 1);
    dmm.close();
    QCOMPARE(closed.count(), 1);
}

void MyDmmSimTest::removalNoticeClosesOnlyItsPort()
{
    QVERIFY(startSim({ "--period", "0" }));
    MyDmm dmm;
    QSignalSpy closed(&dmm, &MyDmm::closed);
    QVERIFY(dmm.open());
    HIDDeviceInfo other;
    other.name = QStringLiteral("ttyUSB7");
    dmm.slotUSBRemoved(other);
    HIDDeviceInfo differentCase;
    differentCase.name = dmm.portName().toUpper();
    dmm.slotUSBRemoved(differentCase);
    QVERIFY(dmm.isOpened());
    QCOMPARE(closed.count(), 0);

    HIDDeviceInfo mine;
    mine.name = dmm.portName();
    dmm.slotUSBRemoved(mine);
    QVERIFY(!dmm.isOpened());
    QCOMPARE(closed.count(), 1);
}

void MyDmmSimTest::reopensAfterClose()
{
    QVERIFY(startSim({ "--period", "50", "--quiet" }));
    auto dmm = std::make_unique<MyDmm>();
    dmm->setSampleRate(0);
    LinkReadings readings(dmm.get());
    QVERIFY(dmm->open());
    QTRY_VERIFY(readings.live.size() >= 2);
    dmm->close();
    QVERIFY(dmm->open()); // the port is free again at once
    const int before = readings.live.size();
    QTRY_VERIFY(readings.live.size() >= before + 2);

    QSignalSpy closed(dmm.get(), &MyDmm::closed);
    dmm.reset(); // destroying an open link closes it, with closed()
    QCOMPARE(closed.count(), 1);
}

QTEST_GUILESS_MAIN(MyDmmSimTest)
#include "tst_mydmm_sim.moc"

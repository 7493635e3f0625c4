#include "dmmdata.h"
#include "linkreadings.h"
#include "metersim.h"
#include "mydmm.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QTimer>
#include <QtTest>

namespace {

const QByteArray liveFrame = QByteArray::fromHex("abcd140031322e33343030303002010204080355");

// An interval the sampling timer never reaches while a test runs, so that only the test
// decides when it expires.
const int NeverMs = 1000000000;

QList<QAbstractEventDispatcher::TimerInfo> timersOf(QObject* object)
{
    return QAbstractEventDispatcher::instance(object->thread())->registeredTimers(object);
}

// The sampling timer's expiry, delivered as the event loop would deliver it.
bool expireSampleTimer(MyDmm& dmm)
{
    const auto timers = timersOf(&dmm);
    if (timers.size() != 1)
        return false;
    QTimerEvent event(timers.first().timerId);
    QCoreApplication::sendEvent(&dmm, &event);
    return true;
}

// Whether this process still has a descriptor open on the file at path.
bool holdsDescriptorOn(const QString& path)
{
    const QFileInfoList fds
        = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System);
    for (const QFileInfo& fd : fds) {
        if (fd.symLinkTarget() == path)
            return true;
    }
    return false;
}

// Counts the timer events an object receives; the link runs no timer but its sampling timer.
class TimerEventCounter : public QObject
{
public:
    explicit TimerEventCounter(QObject* target) { target->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

// MyDmm against the meter simulator over a real pseudo-terminal.
class MyDmmSimTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensOnce();
    void sampleGateFollowsTheTimer_data();
    void sampleGateFollowsTheTimer();
    void liveReadingsFollowTheSampleRate_data();
    void liveReadingsFollowTheSampleRate();
    void everyLiveReadingAtRateZero();
    void downloadYieldsStoredReadings_data();
    void downloadYieldsStoredReadings();
    void strayLengthByteHoldsNothingBack();
    void bytesOfOneConnectionStayInIt();
    void damagedFramesCountedPerConnection();
    void commandsReachTheMeter();
    void survivesGarbageAndBadChecksums();
    void unplugClosesOnceWithoutBusyLoop();
    void unplugWhileAReceiverSpinsTheEventLoop();
    void removalNoticeClosesOnlyItsPort();
    void reopensAfterClose();

private:
    bool startSim(const QStringList& arguments);
    MeterSim* sim = nullptr;
};

void MyDmmSimTest::init()
{
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

void MyDmmSimTest::sampleGateFollowsTheTimer_data()
{
    // L: a live frame arrives, T: the sampling timer expires, Z: interval set to 0 while open,
    // H: interval set to half of NeverMs while open.
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("passed"); // per live frame: + passed on, - dropped
    QTest::addColumn<int>("interval"); // of the timer running at the end, 0 for none

    QTest::newRow("first passes, the rest wait for the timer") << NeverMs << "LLL"
                                                               << "+--" << NeverMs;
    QTest::newRow("one more after each expiry") << NeverMs << "LLTLLTL"
                                                << "+-+-+" << NeverMs;
    QTest::newRow("expiries do not add up") << NeverMs << "LTTTLLL"
                                            << "++--" << NeverMs;
    QTest::newRow("interval 0: no timer, every frame") << 0 << "LLL"
                                                       << "+++" << 0;
    QTest::newRow("interval 0 while open stops the timer") << NeverMs << "LLZLL"
                                                           << "+-++" << 0;
    QTest::newRow("new interval while open restarts the timer") << NeverMs << "LHLTL"
                                                                << "+-+" << NeverMs / 2;
}

void MyDmmSimTest::sampleGateFollowsTheTimer()
{
    QFETCH(int, rate);
    QFETCH(QString, script);
    QFETCH(int, interval);
    QVERIFY(startSim({ "--period", "0" })); // a port to open; the frames come from the test
    MyDmm dmm;
    dmm.setSampleRate(rate);
    LinkReadings readings(&dmm);
    QVERIFY(timersOf(&dmm).isEmpty()); // closed: no timer
    QVERIFY(dmm.open());

    QString passed;
    for (const QChar step : script) {
        const int before = readings.live.size();
        switch (step.toLatin1()) {
        case 'L':
            dmm.slotSerialDevRead(liveFrame);
            passed += readings.live.size() > before ? '+' : '-';
            break;
        case 'T':
            QVERIFY(expireSampleTimer(dmm));
            break;
        case 'Z':
            dmm.setSampleRate(0);
            break;
        case 'H':
            dmm.setSampleRate(NeverMs / 2);
            break;
        }
    }
    QTEST(passed, "passed");
    for (const DmmData* d : qAsConst(readings.live))
        QCOMPARE(d->text(0), QStringLiteral("12.34"));

    const auto timers = timersOf(&dmm);
    QCOMPARE(timers.size(), interval > 0 ? 1 : 0);
    if (interval > 0) {
        QCOMPARE(timers.first().interval, interval);
        // Coarse; Qt makes a coarse timer of 20 s or more a very coarse one.
        QVERIFY(timers.first().timerType != Qt::PreciseTimer);
    }
    dmm.close();
    QVERIFY(timersOf(&dmm).isEmpty());
}

void MyDmmSimTest::liveReadingsFollowTheSampleRate_data()
{
    QTest::addColumn<int>("rate");
    QTest::newRow("1000 ms") << 1000;
    QTest::newRow("300 ms") << 300;
}

void MyDmmSimTest::liveReadingsFollowTheSampleRate()
{
    QFETCH(int, rate);
    // Frames every 20 ms, far more than the timer lets through.
    QVERIFY(startSim(
        { "--period", "20", "--sequence", "ramp", "--step", "1", "--decimals", "0", "--quiet" }));
    MyDmm dmm;
    dmm.setSampleRate(rate);
    TimerEventCounter expiries(&dmm);
    LinkReadings readings(&dmm);
    QList<int> expiriesAtReading;
    connect(&dmm, &MyDmm::display, this, [&] { expiriesAtReading << expiries.count; });
    QVERIFY(dmm.open());
    const auto timers = timersOf(&dmm);
    QCOMPARE(timers.size(), 1);
    QCOMPARE(timers.first().interval, rate);

    QTRY_VERIFY_WITH_TIMEOUT(readings.live.size() >= 4, 60000);
    dmm.close();
    // The tick set at creation lets the first through; each later one needs an expiry of its own.
    for (int i = 1; i < expiriesAtReading.size(); ++i)
        QVERIFY2(expiriesAtReading.at(i) > expiriesAtReading.at(i - 1),
            qPrintable(QStringLiteral("reading %1 passed without a new expiry").arg(i)));
    // Passed readings are distinct frames, in order.
    for (int i = 1; i < readings.live.size(); ++i)
        QVERIFY(readings.live.at(i)->value(0) > readings.live.at(i - 1)->value(0));
    QVERIFY(readings.stored.isEmpty());
}

void MyDmmSimTest::everyLiveReadingAtRateZero()
{
    QVERIFY(startSim({ "--period", "30", "--live-count", "20", "--sequence", "ramp", "--step", "1",
        "--decimals", "0", "--stored", "1" }));
    MyDmm dmm;
    dmm.setSampleRate(0);
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    QVERIFY(!sim->waitForLine("live: 20 ").isEmpty());
    QTRY_COMPARE(readings.live.size(), 20);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(readings.live.at(i)->value(0), double(i));
    // The stored reading comes behind every live byte: once it is in, nothing else is on its way.
    dmm.downloadStore();
    QTRY_COMPARE(readings.stored.size(), 1);
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

void MyDmmSimTest::strayLengthByteHoldsNothingBack()
{
    // A header whose length byte says 255 goes out before record 95: the records behind it are
    // not held back waiting for 255 bytes.
    QVERIFY(startSim({ "--period", "0", "--stored", "100", "--stray-at", "95" }));
    MyDmm dmm;
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    QVERIFY(!sim->waitForLine("client: connected").isEmpty());
    dmm.downloadStore();
    QVERIFY(!sim->waitForLine("stray: abcdff01 before record 95").isEmpty());
    QTRY_COMPARE(readings.stored.size(), 100);
    for (int i = 0; i < 100; ++i)
        QCOMPARE(readings.stored.at(i)->storeIndex(), i + 1);
    QCOMPARE(dmm.damagedFrames(), 1);
}

void MyDmmSimTest::bytesOfOneConnectionStayInIt()
{
    QVERIFY(startSim({ "--period", "0" }));
    const QByteArray stored = QByteArray::fromHex("abcd140120302e3530303132330400010101033d");
    MyDmm dmm;
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    // A frame cut off by a close is not completed by the next connection's bytes...
    dmm.slotSerialDevRead(stored.left(12));
    dmm.close();
    QVERIFY(dmm.open());
    dmm.slotSerialDevRead(stored.mid(12));
    QCOMPARE(readings.stored.size(), 0);
    // ... nor by bytes that come while the link is closed, before it opens again.
    dmm.slotSerialDevRead(stored.left(12));
    dmm.close();
    dmm.slotSerialDevRead(stored.left(5));
    QVERIFY(dmm.open());
    dmm.slotSerialDevRead(stored.mid(5));
    QCOMPARE(readings.stored.size(), 0);
    dmm.slotSerialDevRead(stored);
    QCOMPARE(readings.stored.size(), 1);
}

void MyDmmSimTest::damagedFramesCountedPerConnection()
{
    // Three good live frames, then only damaged ones.
    QVERIFY(startSim({ "--period", "10", "--live-count", "10", "--bad-checksum-from", "4" }));
    MyDmm dmm;
    dmm.setSampleRate(0);
    LinkReadings readings(&dmm);
    QSignalSpy changed(&dmm, &MyDmm::damagedFramesChanged);
    QSignalSpy messages(&dmm, &MyDmm::message);
    QVERIFY(dmm.open());
    QVERIFY(!sim->waitForLine("live: 10 ").isEmpty());
    int damagedSent = 0;
    for (const QString& line : sim->lines())
        damagedSent += line.startsWith(QStringLiteral("live: ")) && line.endsWith(" bad-checksum");
    QCOMPARE(damagedSent, 7);
    QTRY_COMPARE(dmm.damagedFrames(), 7);
    QCOMPARE(readings.live.size(), 3);
    QCOMPARE(changed.last().at(0).toInt(), 7);

    // Nothing but damaged frames since the last good one: one line when the wait is over.
    auto* timer = dmm.findChild<QTimer*>(QStringLiteral("damagedOnlyTimer"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(messages.count(), 0);
    QTimerEvent expiry(timer->timerId());
    QCoreApplication::sendEvent(timer, &expiry);
    QCOMPARE(messages.count(), 1);
    QVERIFY(messages.at(0).at(0).toString().contains(QStringLiteral("(7 dropped")));

    // The count stays readable after a close, and starts again with the next connection.
    dmm.close();
    QVERIFY(!timer->isActive());
    QCOMPARE(dmm.damagedFrames(), 7);
    changed.clear();
    QVERIFY(dmm.open());
    QCOMPARE(dmm.damagedFrames(), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 0);
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
    QVERIFY(startSim({ "--period", "50", "--quiet" }));
    MyDmm dmm;
    dmm.setSampleRate(0);
    QSignalSpy closed(&dmm, &MyDmm::closed);
    QVERIFY(closed.isValid());
    LinkReadings readings(&dmm);
    QVERIFY(dmm.open());
    QVERIFY(holdsDescriptorOn(sim->portPath()));
    QTRY_VERIFY(readings.live.size() > 0);
    // Unplugged: the meter's end of the terminal goes away.
    sim->stop();
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(!dmm.isOpened());

    // A port left open on a dead terminal is reported readable without end and spins the event
    // loop: the link lets go of the port object and of its descriptor.
    QTRY_VERIFY(dmm.findChildren<QSerialPort*>().isEmpty());
    QVERIFY(!holdsDescriptorOn(sim->portPath()));
    QCOMPARE(closed.count(), 1);
    dmm.close();
    QCOMPARE(closed.count(), 1);
}

void MyDmmSimTest::unplugWhileAReceiverSpinsTheEventLoop()
{
    // The cable is pulled while a receiver of the readings runs an event loop of its own, from
    // inside the port's signal. The port must outlive that signal (a valgrind run sees it).
    QVERIFY(startSim({ "--period", "0", "--stored", "400", "--unplug-after-stored", "300" }));
    MyDmm dmm;
    QSignalSpy closed(&dmm, &MyDmm::closed);
    int received = 0;
    connect(&dmm, &MyDmm::displayStore, this, [&received](const DmmData* d) {
        delete d;
        ++received;
        QCoreApplication::processEvents();
    });
    QVERIFY(dmm.open());
    QVERIFY(!sim->waitForLine("client: connected").isEmpty());
    dmm.downloadStore();
    QVERIFY(sim->waitForExit());
    QCOMPARE(sim->countLines("unplugged"), 1);
    QTRY_COMPARE(closed.count(), 1);
    QTRY_VERIFY(dmm.findChildren<QSerialPort*>().isEmpty());
    // Readings came until the close; the bytes left behind by it are not decoded.
    QVERIFY2(received > 0 && received <= 300, qPrintable(QString::number(received)));
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

#include "dmmdata.h"
#include "mydmm.h"

#include <QSerialPortInfo>
#include <QTimer>
#include <QtTest>

namespace {

const QByteArray live = QByteArray::fromHex("abcd140031322e33343030303002010204080355");
const QByteArray stored = QByteArray::fromHex("abcd140120302e3530303132330400010101033d");

QByteArray withChecksum(QByteArray frame)
{
    int sum = 0;
    for (int i = 0; i < frame.size() - 2; ++i)
        sum += uchar(frame.at(i));
    frame[frame.size() - 2] = char((sum >> 8) & 0xFF);
    frame[frame.size() - 1] = char(sum & 0xFF);
    return frame;
}

// The link hands each reading to its receiver, which owns it: collect and free them here.
class Readings : public QObject
{
public:
    explicit Readings(MyDmm* dmm)
    {
        connect(dmm, &MyDmm::display, this, [this](const DmmData* d) { take(live, d); });
        connect(dmm, &MyDmm::displayStore, this, [this](const DmmData* d) { take(stored, d); });
    }
    ~Readings() override
    {
        qDeleteAll(live);
        qDeleteAll(stored);
    }
    QList<const DmmData*> live;
    QList<const DmmData*> stored;
    int nulls = 0;

private:
    void take(QList<const DmmData*>& list, const DmmData* d)
    {
        if (!d)
            ++nulls;
        else
            list.append(d);
    }
};

} // namespace

class MyDmmTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { MyDmm::setPortOverride(QString()); }
    void cleanup() { MyDmm::setPortOverride(QString()); }
    void defaults();
    void sampleGate_data();
    void sampleGate();
    void dropsMalformedFrames_data();
    void dropsMalformedFrames();
    void keepsOrderWhenReentered();
    void damagedFramesCounted_data();
    void damagedFramesCounted();
    void commandsWhileClosed();
    void openFailsQuietly();
};

void MyDmmTest::defaults()
{
    MyDmm dmm;
    QCOMPARE(dmm.sampleRate(), 1000);
    QCOMPARE(dmm.samplePoints(), 1000);
    QCOMPARE(dmm.infinite(), true);
    QCOMPARE(dmm.skipRepeat(), false);
    QCOMPARE(dmm.isOpened(), false);
    QVERIFY(dmm.portName().isEmpty());
}

void MyDmmTest::sampleGate_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("liveCount");
    QTest::addColumn<int>("storedCount");

    // Closed, so no timer re-arms the tick: only the very first live frame passes at rate > 0.
    QTest::newRow("first live passes at once") << 1000 << live << 1 << 0;
    QTest::newRow("later live frames wait for the tick") << 1000 << live + live + live << 1 << 0;
    QTest::newRow("rate 0 passes every live frame") << 0 << live + live + live << 3 << 0;
    QTest::newRow("stored frames are never throttled")
        << 1000 << stored + live + stored + live + stored << 1 << 3;
    QTest::newRow("negative rate still gates") << -5 << live + live << 1 << 0;
}

void MyDmmTest::sampleGate()
{
    QFETCH(int, rate);
    QFETCH(QByteArray, bytes);
    MyDmm dmm;
    dmm.setSampleRate(rate);
    QCOMPARE(dmm.sampleRate(), rate);
    Readings readings(&dmm);
    dmm.slotSerialDevRead(bytes);
    QTEST(readings.live.size(), "liveCount");
    QTEST(readings.stored.size(), "storedCount");
    QCOMPARE(readings.nulls, 0);
    for (const DmmData* d : qAsConst(readings.live)) {
        QVERIFY(!d->fromStore());
        QCOMPARE(d->text(0), QStringLiteral("12.34"));
    }
    for (const DmmData* d : qAsConst(readings.stored)) {
        QVERIFY(d->fromStore());
        QCOMPARE(d->storeIndex(), 123);
    }
    QCOMPARE(dmm.downloadCount(), readings.stored.size());
}

void MyDmmTest::dropsMalformedFrames_data()
{
    QTest::addColumn<QByteArray>("frame");

    QByteArray longReading = live + QByteArray(1, '\0');
    longReading[2] = char(21);
    QTest::newRow("live, 21 bytes") << withChecksum(longReading);
    QByteArray shortStored = stored.left(8);
    shortStored[2] = char(8);
    QTest::newRow("stored, 8 bytes") << withChecksum(shortStored);
    QByteArray other = live;
    other[3] = char(2);
    QTest::newRow("type 2") << withChecksum(other);
    QTest::newRow("four bytes") << QByteArray::fromHex("abcd0400");
    QTest::newRow("empty") << QByteArray();
}

void MyDmmTest::dropsMalformedFrames()
{
    QFETCH(QByteArray, frame);
    MyDmm dmm;
    dmm.setSampleRate(0);
    Readings readings(&dmm);
    dmm.handleFrame(frame); // straight into the handler, as a plug-in's bytes could bring it
    dmm.slotSerialDevRead(frame + live); // and through the framer, followed by a good frame
    QCOMPARE(readings.stored.size(), 0);
    QCOMPARE(readings.live.size(), 1);
    QCOMPARE(readings.nulls, 0);
}

void MyDmmTest::keepsOrderWhenReentered()
{
    // A receiver may feed bytes back in while a chunk is being framed (a plug-in relaying
    // from a nested event loop): every frame is handled once, none lost.
    MyDmm dmm;
    dmm.setSampleRate(0);
    QList<int> order;
    QList<const DmmData*> all;
    bool fedBack = false;
    connect(&dmm, &MyDmm::display, this, [&](const DmmData* d) {
        all.append(d);
        order.append(0);
        if (!fedBack) {
            fedBack = true;
            dmm.slotSerialDevRead(stored.left(10));
        }
    });
    connect(&dmm, &MyDmm::displayStore, this, [&](const DmmData* d) {
        all.append(d);
        order.append(1);
    });
    dmm.slotSerialDevRead(live + stored + live);
    dmm.slotSerialDevRead(stored.mid(10));
    qDeleteAll(all);
    QCOMPARE(order, (QList<int> { 0, 1, 0, 1 }));
}

void MyDmmTest::damagedFramesCounted_data()
{
    // B: a frame with a wrong checksum, S: a stray header with a damaged length, G: a good
    // frame, T: the damaged-only timer expires (when it runs).
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("damaged");
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("timerRunning"); // at the end

    QTest::newRow("good frames only") << "GGT" << 0 << 0 << false;
    QTest::newRow("a damaged frame starts the wait") << "B" << 1 << 0 << true;
    QTest::newRow("only damaged frames: one line") << "BSBT" << 3 << 1 << false;
    QTest::newRow("one line per run, however long") << "BBTBBTB" << 5 << 1 << false;
    QTest::newRow("a good frame ends the wait") << "BBGT" << 2 << 0 << false;
    QTest::newRow("a good frame starts a new run") << "BTGBT" << 2 << 2 << false;
}

void MyDmmTest::damagedFramesCounted()
{
    QFETCH(QString, script);
    QByteArray badSum = live;
    badSum[19] = char(badSum.at(19) ^ 1);

    MyDmm dmm;
    dmm.setSampleRate(0);
    Readings readings(&dmm);
    QSignalSpy changed(&dmm, &MyDmm::damagedFramesChanged);
    QSignalSpy messages(&dmm, &MyDmm::message);
    QVERIFY(changed.isValid() && messages.isValid());
    auto* timer = dmm.findChild<QTimer*>(QStringLiteral("damagedOnlyTimer"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), MyDmm::DamagedOnlyMs);
    QVERIFY(timer->isSingleShot());

    int good = 0;
    for (const QChar step : script) {
        switch (step.toLatin1()) {
        case 'B':
            dmm.slotSerialDevRead(badSum);
            break;
        case 'S':
            dmm.slotSerialDevRead(QByteArray::fromHex("abcdff01"));
            break;
        case 'G':
            dmm.slotSerialDevRead(live);
            ++good;
            break;
        case 'T':
            if (timer->isActive()) {
                QTimerEvent expiry(timer->timerId());
                QCoreApplication::sendEvent(timer, &expiry);
            }
            break;
        }
    }
    QTEST(dmm.damagedFrames(), "damaged");
    QTEST(int(messages.count()), "messages");
    QTEST(timer->isActive(), "timerRunning");
    QCOMPARE(readings.live.size(), good);
    // One signal per damaged frame here, each with the new count.
    QCOMPARE(changed.count(), dmm.damagedFrames());
    for (int i = 0; i < changed.count(); ++i)
        QCOMPARE(changed.at(i).at(0).toInt(), i + 1);
    for (const QList<QVariant>& message : qAsConst(messages))
        QVERIFY2(message.at(0).toString().contains(QStringLiteral("only damaged frames")),
            qPrintable(message.at(0).toString()));
}

void MyDmmTest::commandsWhileClosed()
{
    MyDmm dmm;
    QSignalSpy closed(&dmm, &MyDmm::closed);
    QVERIFY(closed.isValid());
    Readings readings(&dmm);
    dmm.slotSerialDevRead(stored + stored);
    QCOMPARE(dmm.downloadCount(), 2);

    QCOMPARE(dmm.sendCommand10(), false);
    QCOMPARE(dmm.sendFrame(QByteArrayLiteral("12")), false);
    dmm.syncTime(QDateTime::currentDateTime());
    dmm.downloadStore(); // nothing to send to, but a new download starts counting afresh
    QCOMPARE(dmm.downloadCount(), 0);
    QCOMPARE(dmm.downloadTotal(), 0);
    dmm.close();
    HIDDeviceInfo info;
    dmm.slotUSBRemoved(info);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(dmm.isOpened(), false);
}

void MyDmmTest::openFailsQuietly()
{
    MyDmm dmm;
    QSignalSpy opened(&dmm, &MyDmm::opened);
    QSignalSpy closed(&dmm, &MyDmm::closed);
    MyDmm::setPortOverride(QStringLiteral("/nonexistent/ttyNOPE"));
    QCOMPARE(dmm.open(), false);
    QCOMPARE(dmm.isOpened(), false);
    MyDmm::setPortOverride(QString());

    bool meterPresent = false;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        meterPresent |= info.vendorIdentifier() == MyDmm::VendorId
            && info.productIdentifier() == MyDmm::ProductId;
    if (meterPresent)
        QSKIP("a meter is attached, so discovery would find it");
    QCOMPARE(dmm.open(), false);
    QCOMPARE(opened.count(), 0);
    dmm.close();
    QCOMPARE(closed.count(), 0);
}

QTEST_GUILESS_MAIN(MyDmmTest)
#include "tst_mydmm.moc"

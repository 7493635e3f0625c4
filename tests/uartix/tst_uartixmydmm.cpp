#include "dmmdata.h"
#include "fakecontrol.h"
#include "linkreadings.h"
#include "mydmm.h"
#include "serialdeviceinf.h"
#include "uartixinf.h"

#include <QPluginLoader>
#include <QtTest>

namespace {

// Reading frames as the meter sends them: header AB CD, length 20, type, body, checksum.
QByteArray readingFrame(int type, const QByteArray& value, int recordNumber)
{
    QByteArray frame = QByteArray::fromHex("abcd14");
    frame.append(char(type));
    frame.append(value.leftJustified(5, ' ', true));
    frame.append(QByteArray::number(recordNumber).rightJustified(4, '0', true));
    frame.append(QByteArray::fromHex("0201020408")); // 10-1kHz, status 0, cm/s, Vrms, battery 3
    quint16 sum = 0;
    for (const char c : frame)
        sum = quint16(sum + uchar(c));
    frame.append(char(sum >> 8));
    frame.append(char(sum & 0xFF));
    return frame;
}

} // namespace

// The bridge plug-in's byte stream drives the meter link just as its serial port does.
class UartixMyDmmTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void readingsFromTheBridge_data();
    void readingsFromTheBridge();

private:
    QPluginLoader loader { QStringLiteral(UARTIX_PLUGIN) };
    QLibrary fakeLibrary { QStringLiteral(FAKEHIDUART) };
    FakeControl fake;
    SerialDeviceInf* device = nullptr;
    UartixInf* uartix = nullptr;
};

void UartixMyDmmTest::initTestCase()
{
    QVERIFY2(fakeLibrary.load(), qPrintable(fakeLibrary.errorString()));
    QVERIFY(fake.resolve(fakeLibrary));
    QObject* root = loader.instance();
    QVERIFY2(root, qPrintable(loader.errorString()));
    device = qobject_cast<SerialDeviceInf*>(root);
    uartix = qobject_cast<UartixInf*>(root);
    QVERIFY(device && uartix);
}

void UartixMyDmmTest::cleanup()
{
    device->close();
}

void UartixMyDmmTest::readingsFromTheBridge_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<QStringList>("liveTexts");
    QTest::addColumn<QList<int>>("storedNumbers");

    // 60 frames are 1200 bytes: the bridge's 1024-byte chunks cut frame 52 in two.
    QByteArray many;
    QStringList manyTexts;
    for (int i = 0; i < 60; ++i) {
        const QByteArray text = QByteArray::number(10 + i) + ".5";
        many += readingFrame(0, text, 0);
        manyTexts << QString::fromLatin1(text).leftJustified(5, ' ');
    }
    QTest::newRow("live frames across chunks") << many << 0 << manyTexts << QList<int>();
    QTest::newRow("sampling keeps the first live frame")
        << many << 1000 << QStringList { manyTexts.first() } << QList<int>();

    QByteArray download;
    for (int n = 1; n <= 55; ++n)
        download += readingFrame(1, "0.50", n);
    QList<int> numbers;
    for (int n = 1; n <= 55; ++n)
        numbers << n;
    QTest::newRow("stored frames are never throttled")
        << download << 1000 << QStringList() << numbers;
}

void UartixMyDmmTest::readingsFromTheBridge()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, sampleRate);
    QFETCH(QStringList, liveTexts);
    QFETCH(QList<int>, storedNumbers);

    fake.reset();
    fake.addDevice("0001", "\\\\?\\hid#vid_10c4&pid_ea80#1");
    uartix->init(QStringLiteral(FAKEHIDUART));

    MyDmm dmm;
    dmm.setSampleRate(sampleRate);
    LinkReadings readings(&dmm);
    // Connected by signature, as a host that knows only the plug-in's interfaces does.
    QVERIFY(QObject::connect(
        device->object(), SIGNAL(read(QByteArray)), &dmm, SLOT(slotSerialDevRead(QByteArray))));

    QVERIFY(device->open());
    fake.queue(bytes);
    QTRY_COMPARE_WITH_TIMEOUT(fake.pendingRead(), 0u, 30000);
    QTRY_COMPARE(
        readings.live.size() + readings.stored.size(), liveTexts.size() + storedNumbers.size());

    QStringList texts;
    for (const DmmData* d : qAsConst(readings.live)) {
        texts << d->text(0);
        QCOMPARE(d->unit().text, QStringLiteral("cm/s"));
        QCOMPARE(d->detection(), QStringLiteral("Vrms"));
        QCOMPARE(d->band(), QStringLiteral("10-1kHz"));
        QCOMPARE(d->battery(), 3);
    }
    QCOMPARE(texts, liveTexts);
    QList<int> numbers;
    for (const DmmData* d : qAsConst(readings.stored)) {
        numbers << d->storeIndex();
        QCOMPARE(d->value(0), 0.5);
    }
    QCOMPARE(numbers, storedNumbers);
}

QTEST_MAIN(UartixMyDmmTest)
#include "tst_uartixmydmm.moc"

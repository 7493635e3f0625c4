#include "devicechange.h"
#include "hiddeviceinfo.h"
#include "usbpnpdetector.h"

#include <QtEndian>
#include <QtTest>

namespace {

// A device-change record as Windows lays it out: size, device type, reserved (32-bit
// little-endian each), then the data; for a port, its NUL-terminated UTF-16 name.
QByteArray broadcast(
    quint32 deviceType, const QString& name, bool terminate = true, int sizeDelta = 0)
{
    QByteArray nameBytes;
    for (const QChar c : name) {
        const quint16 unit = c.unicode();
        nameBytes.append(char(unit & 0xFF)).append(char(unit >> 8));
    }
    if (terminate)
        nameBytes.append(2, '\0');
    QByteArray record(12, '\0');
    qToLittleEndian<quint32>(quint32(12 + nameBytes.size() + sizeDelta), record.data());
    qToLittleEndian<quint32>(deviceType, record.data() + 4);
    return record + nameBytes;
}

} // namespace

class DeviceChangeTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesWindowsMessage_data();
    void decodesWindowsMessage();
    void decodesUdevEvent_data();
    void decodesUdevEvent();
    void infoTravelsQueued();
};

void DeviceChangeTest::decodesWindowsMessage_data()
{
    QTest::addColumn<quint64>("wParam");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("event");
    QTest::addColumn<QString>("name");

    QTest::newRow("arrival COM5") << quint64(0x8000) << broadcast(3, "COM5")
                                  << int(DeviceChange::Arrival) << "COM5";
    QTest::newRow("removal COM7") << quint64(0x8004) << broadcast(3, "COM7")
                                  << int(DeviceChange::Removal) << "COM7";
    QTest::newRow("non-ASCII name")
        << quint64(0x8004) << broadcast(3, QStringLiteral("COM\u00e912"))
        << int(DeviceChange::Removal) << QStringLiteral("COM\u00e912");
    QTest::newRow("remove pending is ignored")
        << quint64(0x8003) << broadcast(3, "COM5") << int(DeviceChange::None) << "";
    QTest::newRow("nodes changed is ignored")
        << quint64(0x0007) << QByteArray() << int(DeviceChange::None) << "";
    QTest::newRow("device interface (memory stick) is ignored")
        << quint64(0x8000) << broadcast(5, "\\\\?\\USB#VID_0781") << int(DeviceChange::None) << "";
    QTest::newRow("volume is ignored")
        << quint64(0x8004) << broadcast(2, "") << int(DeviceChange::None) << "";
    QTest::newRow("record shorter than its header")
        << quint64(0x8000) << broadcast(3, "COM5").left(11) << int(DeviceChange::None) << "";
    QTest::newRow("unterminated name stops at the end")
        << quint64(0x8000) << broadcast(3, "COM9", false) << int(DeviceChange::Arrival) << "COM9";
    QTest::newRow("record size cuts the name")
        << quint64(0x8000) << broadcast(3, "COM12", false, -4) << int(DeviceChange::Arrival)
        << "COM";
    QTest::newRow("odd trailing byte is no character")
        << quint64(0x8004) << broadcast(3, "COM3", false) + 'x' << int(DeviceChange::Removal)
        << "COM3";
    QTest::newRow("empty name") << quint64(0x8004) << broadcast(3, "") << int(DeviceChange::Removal)
                                << "";
}

void DeviceChangeTest::decodesWindowsMessage()
{
    QFETCH(quint64, wParam);
    QFETCH(QByteArray, record);
    const DeviceChange change = DeviceChangeCodec::decode(wParam, record);
    QTEST(int(change.event), "event");
    QTEST(change.name, "name");
}

void DeviceChangeTest::decodesUdevEvent_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QByteArray>("sysname");
    QTest::addColumn<int>("event");
    QTest::addColumn<QString>("name");

    QTest::newRow("add ttyUSB0") << QByteArray("add") << QByteArray("ttyUSB0")
                                 << int(DeviceChange::Arrival) << "ttyUSB0";
    QTest::newRow("remove ttyACM1")
        << QByteArray("remove") << QByteArray("ttyACM1") << int(DeviceChange::Removal) << "ttyACM1";
    QTest::newRow("change ignored")
        << QByteArray("change") << QByteArray("ttyUSB0") << int(DeviceChange::None) << "";
    QTest::newRow("no action") << QByteArray() << QByteArray("ttyUSB0") << int(DeviceChange::None)
                               << "";
    QTest::newRow("no name") << QByteArray("remove") << QByteArray() << int(DeviceChange::None)
                             << "";
}

void DeviceChangeTest::decodesUdevEvent()
{
    QFETCH(QByteArray, action);
    QFETCH(QByteArray, sysname);
    const DeviceChange change = DeviceChangeCodec::decodeUdev(action, sysname);
    QTEST(int(change.event), "event");
    QTEST(change.name, "name");
}

void DeviceChangeTest::infoTravelsQueued()
{
    QCOMPARE(QMetaType::type("HIDDeviceInfo"), qMetaTypeId<HIDDeviceInfo>());
    USBPNPDetector detector;
    QSignalSpy removed(&detector, &USBPNPDetector::deviceRemoved);
    QObject receiver;
    QString got;
    connect(
        &detector, &USBPNPDetector::deviceRemoved, &receiver,
        [&got](const HIDDeviceInfo& info) { got = info.name; }, Qt::QueuedConnection);
    HIDDeviceInfo info;
    info.name = QStringLiteral("ttyUSB3");
    QVERIFY(QMetaObject::invokeMethod(
        &detector, "deviceRemoved", Qt::DirectConnection, Q_ARG(HIDDeviceInfo, info)));
    QTRY_COMPARE(got, QStringLiteral("ttyUSB3"));
    QCOMPARE(removed.count(), 1);
}

QTEST_GUILESS_MAIN(DeviceChangeTest)
#include "tst_devicechange.moc"

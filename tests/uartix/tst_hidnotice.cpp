#include "hidnotice.h"

#include <QDataStream>
#include <QtTest>

namespace {

const quint32 deviceChange = 0x0219;
const quint32 arrival = 0x8000;
const quint32 removeComplete = 0x8004;
const quint32 interfaceType = 5;
const quint32 volumeType = 2;

// A broadcast record as Windows lays it out: DEV_BROADCAST_HDR {size, device type, reserved}, then
// for a device interface the class GUID and the zero-terminated UTF-16 name.
QByteArray record(quint32 type, const QString& name, int sizeAdjust = 0)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 size = 28 + 2 * (quint32(name.size()) + 1) + quint32(sizeAdjust);
    out << size << type << quint32(0);
    out << quint32(0x4D1E55B2) << quint16(0xF16F) << quint16(0x11CF);
    for (quint8 b : { 0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30 })
        out << b;
    for (const QChar c : name)
        out << quint16(c.unicode());
    out << quint16(0);
    return bytes;
}

const QString bridgePath = QStringLiteral(
    "\\\\?\\hid#vid_10c4&pid_ea80#7&2b1a1e5b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}");

} // namespace

class HidNoticeTest : public QObject
{
    Q_OBJECT

private slots:
    void decide_data();
    void decide();
    void deviceNameIsBounded_data();
    void deviceNameIsBounded();
    void interfaceBroadcastMatchesWindowsLayout();
};

void HidNoticeTest::decide_data()
{
    QTest::addColumn<quint32>("message");
    QTest::addColumn<quint32>("wParam");
    QTest::addColumn<QByteArray>("broadcast");
    QTest::addColumn<QString>("openPath");
    QTest::addColumn<bool>("handled");
    QTest::addColumn<bool>("arrival");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<bool>("refresh");

    const QString mouse = QStringLiteral("\\\\?\\hid#vid_046d&pid_c077#7&1f1c&0&0000#{4d1e55b2}");

    QTest::newRow("arrival of a HID interface")
        << deviceChange << arrival << record(interfaceType, mouse) << QString() << true << true
        << false << true;
    QTest::newRow("arrival while a device is open")
        << deviceChange << arrival << record(interfaceType, mouse) << bridgePath << true << true
        << false << true;
    QTest::newRow("arrival of a volume refreshes only")
        << deviceChange << arrival << record(volumeType, QString()) << QString() << true << false
        << false << true;
    QTest::newRow("arrival without a record refreshes only")
        << deviceChange << arrival << QByteArray() << QString() << true << false << false << true;
    QTest::newRow("removal of the open device")
        << deviceChange << removeComplete << record(interfaceType, bridgePath) << bridgePath << true
        << false << true << true;
    QTest::newRow("removal of the open device, other letter case")
        << deviceChange << removeComplete << record(interfaceType, bridgePath.toUpper())
        << bridgePath << true << false << true << true;
    QTest::newRow("removal of another device")
        << deviceChange << removeComplete << record(interfaceType, mouse) << bridgePath << true
        << false << false << true;
    QTest::newRow("removal while nothing is open")
        << deviceChange << removeComplete << record(interfaceType, bridgePath) << QString() << true
        << false << false << true;
    QTest::newRow("nameless removal while nothing is open")
        << deviceChange << removeComplete << record(interfaceType, QString()) << QString() << true
        << false << false << true;
    QTest::newRow("removal of a volume is handled, nothing else")
        << deviceChange << removeComplete << record(volumeType, QString()) << bridgePath << true
        << false << false << false;
    QTest::newRow("removal without a record") << deviceChange << removeComplete << QByteArray()
                                              << bridgePath << true << false << false << false;
    QTest::newRow("devnodes changed is not handled")
        << deviceChange << quint32(0x0007) << QByteArray() << bridgePath << false << false << false
        << false;
    QTest::newRow("query remove is not handled")
        << deviceChange << quint32(0x8001) << record(interfaceType, bridgePath) << bridgePath
        << false << false << false << false;
    QTest::newRow("another message is not handled")
        << quint32(0x0010) << removeComplete << record(interfaceType, bridgePath) << bridgePath
        << false << false << false << false;
}

void HidNoticeTest::decide()
{
    QFETCH(quint32, message);
    QFETCH(quint32, wParam);
    QFETCH(QByteArray, broadcast);
    QFETCH(QString, openPath);

    const HidNotice notice = HidNotice::decide(message, wParam, broadcast, openPath);
    QTEST(notice.handled, "handled");
    QTEST(notice.arrival, "arrival");
    QTEST(notice.removed, "removed");
    QTEST(notice.refresh, "refresh");
}

void HidNoticeTest::deviceNameIsBounded_data()
{
    QTest::addColumn<QByteArray>("broadcast");
    QTest::addColumn<QString>("name");

    QTest::newRow("terminated") << record(interfaceType, QStringLiteral("abc")) << "abc";
    QTest::newRow("empty") << record(interfaceType, QString()) << QString();
    QTest::newRow("non-ASCII") << record(interfaceType, QString::fromUtf8("gerät\u00b5"))
                               << QString::fromUtf8("gerät\u00b5");
    // The size field says the name ends after two characters; the rest is not the record's.
    QTest::newRow("size field cuts")
        << record(interfaceType, QStringLiteral("abcdef"), -10) << "ab";
    // A size field larger than the bytes we hold must not make us read past them.
    QByteArray unterminated = record(interfaceType, QStringLiteral("xyz"), 400);
    unterminated.chop(2);
    QTest::newRow("size field too large, no terminator") << unterminated << "xyz";
    QTest::newRow("header only") << record(interfaceType, QString()).left(12) << QString();
    QTest::newRow("too short") << QByteArray("\x05\x00", 2) << QString();
}

void HidNoticeTest::deviceNameIsBounded()
{
    QFETCH(QByteArray, broadcast);
    QTEST(HidNotice::deviceName(broadcast), "name");
}

void HidNoticeTest::interfaceBroadcastMatchesWindowsLayout()
{
    const QString name = QStringLiteral("/dev/hidraw3");
    QCOMPARE(HidNotice::interfaceBroadcast(name), record(interfaceType, name));
    QCOMPARE(HidNotice::interfaceBroadcast(QString()), record(interfaceType, QString()));
}

QTEST_APPLESS_MAIN(HidNoticeTest)
#include "tst_hidnotice.moc"

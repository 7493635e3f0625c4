// Reconnecting by itself: the meter's port goes away while connected and comes back. The link's
// hot-plug slots are driven by hand; the meter is the simulator on a pseudo-terminal.
#include "widgettestsupport.h"

#include "metersim.h"
#include "mydmm.h"
#include "reconnector.h"

#include <QFile>
#include <QListWidget>
#include <QSerialPort>
#include <QTest>

using namespace WidgetProbe;

namespace {

MyDmm* link(Widget& w)
{
    auto* reconnector = w.findChild<Reconnector*>();
    return reconnector ? reconnector->link() : nullptr;
}

// What the link's hot-plug detector reports: "slotUSBRemoved" or "slotUSBArrived".
void emitChange(Widget& w, const char* slot, const QString& name)
{
    HIDDeviceInfo info;
    info.name = name;
    QVERIFY(
        QMetaObject::invokeMethod(link(w), slot, Qt::DirectConnection, Q_ARG(HIDDeviceInfo, info)));
}

QStringList messages(Widget& w)
{
    QStringList rows;
    auto* list = w.findChild<QListWidget*>(QStringLiteral("listWidget"));
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

QString portName(const QString& path)
{
    return QSerialPort(path).portName();
}

Reconnector::Port port(const char* name, bool ids, quint16 vendor = 0, quint16 product = 0)
{
    Reconnector::Port p;
    p.name = QLatin1String(name);
    p.hasIdentifiers = ids;
    p.vendorId = vendor;
    p.productId = product;
    return p;
}

} // namespace

class ReconnectTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recognisesTheMeter_data();
    void recognisesTheMeter();
    void meterComesBack_data();
    void meterComesBack();
    void manualConnectEndsTheWait();
};

void ReconnectTest::init()
{
    QFile::remove(QCoreApplication::applicationDirPath() + "/options.xml");
}

void ReconnectTest::cleanup()
{
    MyDmm::setPortOverride(QString());
    QFile::remove(QCoreApplication::applicationDirPath() + "/options.xml");
}

void ReconnectTest::recognisesTheMeter_data()
{
    QTest::addColumn<QString>("arrived");
    QTest::addColumn<QString>("overrideName");
    QTest::addColumn<bool>("meter");

    QTest::newRow("meter adapter") << "ttyUSB0"
                                   << "" << true;
    QTest::newRow("another adapter") << "ttyUSB1"
                                     << "" << false;
    QTest::newRow("port without identifiers") << "ttyS0"
                                              << "" << false;
    QTest::newRow("same vendor, other product") << "ttyUSB2"
                                                << "" << false;
    QTest::newRow("unknown port") << "ttyACM9"
                                  << "" << false;
    QTest::newRow("empty name") << ""
                                << "" << false;
    // With an override the link opens only that port, whatever identifiers others carry.
    QTest::newRow("override port") << "pts/4"
                                   << "pts/4" << true;
    QTest::newRow("meter adapter, override elsewhere") << "ttyUSB0"
                                                       << "pts/4" << false;
    QTest::newRow("case matters") << "ttyusb0"
                                  << "" << false;
}

void ReconnectTest::recognisesTheMeter()
{
    QFETCH(QString, arrived);
    QFETCH(QString, overrideName);
    QFETCH(bool, meter);
    const QList<Reconnector::Port> ports
        = { port("ttyS0", false), port("ttyUSB1", true, 0x0403, 0x6001),
              port("ttyUSB0", true, 6790, 29987), port("ttyUSB2", true, 6790, 0x7522) };
    QCOMPARE(Reconnector::isMeterArrival(arrived, overrideName, ports), meter);
}

void ReconnectTest::meterComesBack_data()
{
    QTest::addColumn<bool>("userDisconnects");
    QTest::addColumn<bool>("sameMeter");
    QTest::addColumn<bool>("reconnects");

    QTest::newRow("meter unplugged and back") << false << true << true;
    QTest::newRow("another port arrives") << false << false << false;
    QTest::newRow("user disconnected first") << true << true << false;
}

void ReconnectTest::meterComesBack()
{
    QFETCH(bool, userDisconnects);
    QFETCH(bool, sameMeter);
    QFETCH(bool, reconnects);

    MeterSim first;
    const QString firstPath = first.start({ "--period", "20", "--quiet" });
    QVERIFY2(!firstPath.isEmpty(), qPrintable(first.errorText()));
    MyDmm::setPortOverride(firstPath);

    Widget w;
    w.show();
    QVERIFY(link(w));
    action(w, "actionConnect")->trigger();
    QCOMPARE(states(w), QStringLiteral("01101"));
    action(w, "actionStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(table(w)->rowCount() >= 3, 30000);

    if (userDisconnects)
        action(w, "actionDisconnect")->trigger();
    // The cable is pulled: the terminal goes away and the system reports the port's removal.
    first.stop();
    emitChange(w, "slotUSBRemoved", portName(firstPath));
    QTRY_COMPARE_WITH_TIMEOUT(states(w), QStringLiteral("10000"), 30000);
    const int recorded = table(w)->rowCount();
    const QStringList recordedValues = tableColumn(w, 3);
    QVERIFY(recorded >= 3);
    const int messagesBefore = messages(w).size();
    // Connected, disconnected and, when the meter was lost, that it is awaited. The message list
    // opens to say so; a disconnect the user asked for is no news.
    QCOMPARE(messagesBefore, userDisconnects ? 2 : 3);
    QCOMPARE(
        w.findChild<QListWidget*>(QStringLiteral("listWidget"))->isVisible(), !userDisconnects);

    // The meter comes back (on a new terminal, as a replugged adapter may get a new name).
    MeterSim second;
    const QString secondPath = second.start({ "--period", "20", "--text", "98.76" });
    QVERIFY2(!secondPath.isEmpty(), qPrintable(second.errorText()));
    MyDmm::setPortOverride(secondPath);
    emitChange(w, "slotUSBArrived", sameMeter ? portName(secondPath) : QStringLiteral("ttyS31"));

    if (reconnects) {
        // Connected again, sampling off: Start is offered, Stop is not.
        QTRY_COMPARE_WITH_TIMEOUT(states(w), QStringLiteral("01101"), 30000);
        QVERIFY(!second.waitForLine("client: connected").isEmpty());
        QCOMPARE(messages(w).size(), messagesBefore + 2); // connected, and back on its port
        QVERIFY2(messages(w).last().contains(portName(secondPath)), qPrintable(messages(w).last()));
        // Readings flow again; they are not recorded until the user starts again.
        QVERIFY(!second.waitForLine("live: 10 ").isEmpty());
    } else {
        // The arrival is judged when it comes: nothing to reconnect to.
        QCOMPARE(states(w), QStringLiteral("10000"));
        QCOMPARE(second.countLines("client: connected"), 0);
        QCOMPARE(messages(w).size(), messagesBefore);
    }

    // What was recorded stays.
    QCOMPARE(table(w)->rowCount(), recorded);
    QCOMPARE(tableColumn(w, 3), recordedValues);
    QCOMPARE(activeName(w), QStringLiteral("Measure1"));
    if (reconnects) {
        action(w, "actionStart")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(table(w)->rowCount() > recorded, 30000);
        QCOMPARE(tableColumn(w, 3).last(), QStringLiteral("98.76"));
    }
}

void ReconnectTest::manualConnectEndsTheWait()
{
    MeterSim first;
    const QString firstPath = first.start({ "--period", "20", "--quiet" });
    QVERIFY2(!firstPath.isEmpty(), qPrintable(first.errorText()));
    MyDmm::setPortOverride(firstPath);

    Widget w;
    w.show();
    action(w, "actionConnect")->trigger();
    first.stop();
    emitChange(w, "slotUSBRemoved", portName(firstPath));
    QTRY_COMPARE_WITH_TIMEOUT(states(w), QStringLiteral("10000"), 30000);

    // The user connects by hand first; a later arrival must not disturb the open link.
    MeterSim second;
    const QString secondPath = second.start({ "--period", "20", "--quiet" });
    QVERIFY2(!secondPath.isEmpty(), qPrintable(second.errorText()));
    MyDmm::setPortOverride(secondPath);
    action(w, "actionConnect")->trigger();
    QCOMPARE(states(w), QStringLiteral("01101"));
    const int messagesBefore = messages(w).size();
    emitChange(w, "slotUSBArrived", portName(secondPath));
    // The arrival is judged when it comes: the open link is left alone.
    QCOMPARE(states(w), QStringLiteral("01101"));
    QTRY_COMPARE(second.countLines("client: connected"), 1);
    QCOMPARE(messages(w).size(), messagesBefore);
}

QTEST_MAIN(ReconnectTest)
#include "tst_reconnect.moc"

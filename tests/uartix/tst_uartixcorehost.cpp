#include "fakecontrol.h"
#include "serialdeviceinf.h"
#include "uartixinf.h"

#include <QCoreApplication>
#include <QPluginLoader>
#include <QtTest>

// A host without widgets: the plug-in must work without its notification window.
class UartixCoreHostTest : public QObject
{
    Q_OBJECT

private slots:
    void worksWithoutWidgets();
};

void UartixCoreHostTest::worksWithoutWidgets()
{
    QVERIFY(!QCoreApplication::instance()->inherits("QApplication"));
    QLibrary fakeLibrary(QStringLiteral(FAKEHIDUART));
    QVERIFY2(fakeLibrary.load(), qPrintable(fakeLibrary.errorString()));
    FakeControl fake;
    QVERIFY(fake.resolve(fakeLibrary));
    fake.reset();
    fake.addDevice("S1", "P1");

    QPluginLoader loader(QStringLiteral(UARTIX_PLUGIN));
    QObject* root = loader.instance();
    QVERIFY2(root, qPrintable(loader.errorString()));
    auto device = qobject_cast<SerialDeviceInf*>(root);
    auto uartix = qobject_cast<UartixInf*>(root);
    QVERIFY(device && uartix);

    uartix->init(QStringLiteral(FAKEHIDUART));
    QCOMPARE(uartix->deviceCount(), 1);
    QSignalSpy read(root, SIGNAL(read(QByteArray)));
    QVERIFY(device->open());
    fake.queue("bytes");
    QTRY_COMPARE_WITH_TIMEOUT(read.count(), 1, 30000);
    QCOMPARE(read.at(0).at(0).toByteArray(), QByteArray("bytes"));
    device->close();
    QCOMPARE(fake.openHandles(), 0);
}

QTEST_GUILESS_MAIN(UartixCoreHostTest)
#include "tst_uartixcorehost.moc"

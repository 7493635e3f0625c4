#include "fakecontrol.h"
#include "serialdeviceinf.h"
#include "uartixinf.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QPointer>
#include <QWidget>
#include <QtTest>

#include <functional>

namespace {

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) & 0xFF);
    return bytes;
}

// Devices as (serial, path) pairs.
using DeviceList = QList<QPair<QString, QString>>;

// Threads of this process.
int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

// The plug-in's reader threads still running (Qt names a thread after its class once it runs).
int readerThreads()
{
    int count = 0;
    const QStringList tasks
        = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile name(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "ReadThread")
            ++count;
    }
    return count;
}

// Counts the read requests the reader thread posts to the plug-in object, as they are delivered.
class RequestCounter : public QObject
{
public:
    explicit RequestCounter(QObject* target) { target->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

// Receives the plug-in's signals by name, as a host that only knows the signatures does.
class Recorder : public QObject
{
    Q_OBJECT

public:
    explicit Recorder(QObject* device)
    {
        QObject::connect(device, SIGNAL(opened()), this, SLOT(onOpened()));
        QObject::connect(device, SIGNAL(closed()), this, SLOT(onClosed()));
        QObject::connect(device, SIGNAL(removed()), this, SLOT(onRemoved()));
        QObject::connect(device, SIGNAL(arrival()), this, SLOT(onArrival()));
        QObject::connect(device, SIGNAL(usbRefreshed(int)), this, SLOT(onUsbRefreshed(int)));
        QObject::connect(device, SIGNAL(read(QByteArray)), this, SLOT(onRead(QByteArray)));
    }

    QStringList events;
    QList<QByteArray> chunks;
    std::function<void()> onFirstChunk;

public slots:
    void onOpened() { events << "opened"; }
    void onClosed() { events << "closed"; }
    void onRemoved() { events << "removed"; }
    void onArrival() { events << "arrival"; }
    void onUsbRefreshed(int count) { events << QStringLiteral("usbRefreshed %1").arg(count); }
    void onRead(const QByteArray& data)
    {
        chunks << data;
        if (chunks.size() == 1 && onFirstChunk)
            onFirstChunk();
    }
};

// A receiver for connections made by name through the plug-in's connectSignal.
class SignalSink : public QObject
{
    Q_OBJECT

public:
    SignalSink()
    {
        connect(this, &SignalSink::ping, this, [this] { events << "ping"; });
    }
    QStringList events;

signals:
    void ping();

public slots:
    void onOpened() { events << "opened"; }
    void onClosed() { events << "closed"; }
    void onUsbRefreshed(int count) { events << QString::number(count); }
};

// Deletes the plug-in's object when the first bytes arrive, from inside its read signal.
class Deleter : public QObject
{
    Q_OBJECT

public:
    explicit Deleter(QObject* target)
        : target(target)
    { }
    QByteArray received;

public slots:
    void onRead(const QByteArray& data)
    {
        received += data;
        delete target.data();
    }

private:
    QPointer<QObject> target;
};

// Collects the warnings written while it lives, and passes them on.
class WarningCatcher
{
public:
    WarningCatcher() { previous = qInstallMessageHandler(&WarningCatcher::handle); }
    ~WarningCatcher()
    {
        qInstallMessageHandler(previous);
        messages().clear();
    }
    QStringList seen() const { return messages(); }

private:
    static QStringList& messages()
    {
        static QStringList list;
        return list;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtWarningMsg)
            messages() << text;
        if (previous)
            previous(type, context, text);
    }
    static inline QtMessageHandler previous = nullptr;
};

class UartixTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void metadata();
    void casts_data();
    void casts();
    void enumeration_data();
    void enumeration();
    void absurdDeviceCountIsBounded();
    void openPassesConfiguration_data();
    void openPassesConfiguration();
    void openFailures_data();
    void openFailures();
    void refreshWhileOpenIsRefused();
    void readChunks_data();
    void readChunks();
    void readerSurvivesNestedEventLoop();
    void failingReadClosesOnce();
    void receiverDeletesThePlugin();
    void writeStatus_data();
    void writeStatus();
    void closeSignals();
    void failedCloseIsTriedAgain();
    void openThenCloseAtOnce();
    void deviceChange_data();
    void deviceChange();
    void reopenedDeviceIsStillWatched();
    void initWhileOpenClosesFirst();
    void unusableLibrary_data();
    void unusableLibrary();
    void connectSignal_data();
    void connectSignal();
    void destroyWhileOpen();

private:
    void addDevices(const DeviceList& list);
    QWidget* notificationWindow() const;
    bool deviceChange(uint wParam, const QByteArray& broadcast);

    QPluginLoader loader { QStringLiteral(UARTIX_PLUGIN) };
    QLibrary fakeLibrary { QStringLiteral(FAKEHIDUART) };
    FakeControl fake;
    QPointer<QObject> root;
    SerialDeviceInf* device = nullptr;
    UartixInf* uartix = nullptr;
};

void UartixTest::initTestCase()
{
    QVERIFY2(fakeLibrary.load(), qPrintable(fakeLibrary.errorString()));
    QVERIFY(fake.resolve(fakeLibrary));
    root = loader.instance();
    QVERIFY2(root, qPrintable(loader.errorString()));
}

void UartixTest::init()
{
    if (!root)
        root = loader.instance();
    device = qobject_cast<SerialDeviceInf*>(root);
    uartix = qobject_cast<UartixInf*>(root);
    QVERIFY(device && uartix);
    device->close();
    uartix->setUartConfig(9600, 3, 0, 0);
    fake.reset();
}

void UartixTest::cleanup()
{
    // A test may have deleted the object; then there is nothing to close.
    if (device && root)
        device->close();
    // Queued read requests of the last test must not leak into the next one.
    QCoreApplication::processEvents();
    QCOMPARE(fake.openHandles(), 0);
}

void UartixTest::addDevices(const DeviceList& list)
{
    for (const auto& d : list)
        fake.addDevice(d.first.toUtf8().constData(), d.second.toUtf8().constData());
}

QWidget* UartixTest::notificationWindow() const
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qstrcmp(w->metaObject()->className(), "USBNotification") == 0)
            return w;
    }
    return nullptr;
}

// Delivers one device-change message, laid out as Windows sends it, to the notification window.
bool UartixTest::deviceChange(uint wParam, const QByteArray& broadcast)
{
    QWidget* window = notificationWindow();
    bool handled = false;
    if (!window
        || !QMetaObject::invokeMethod(window, "handleDeviceChange", Qt::DirectConnection,
            Q_RETURN_ARG(bool, handled), Q_ARG(uint, wParam), Q_ARG(QByteArray, broadcast)))
        qWarning("no notification window to deliver the message to");
    return handled;
}

void UartixTest::metadata()
{
    const QJsonObject meta = loader.metaData();
    QCOMPARE(meta.value("IID").toString(), QStringLiteral("com.zq.UartixInf"));
    QCOMPARE(meta.value("className").toString(), QStringLiteral("Uartix"));
    // No metadata of our own: Qt 5.15's moc leaves the empty "MetaData" object out altogether.
    QVERIFY(meta.value("MetaData").isUndefined() || meta.value("MetaData").isObject());
    QVERIFY(meta.value("MetaData").toObject().isEmpty());
    // The plug-in keeps one root object while it lives.
    QCOMPARE(loader.instance(), root.data());
}

void UartixTest::casts_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("part"); // 0 the object, 1 SerialDeviceInf, 2 UartixInf, 3 none

    QTest::newRow("class name") << QByteArray("Uartix") << 0;
    QTest::newRow("SerialDeviceInf") << QByteArray("SerialDeviceInf") << 1;
    QTest::newRow("com.zq.SerialDeviceInf") << QByteArray("com.zq.SerialDeviceInf") << 1;
    QTest::newRow("UartixInf") << QByteArray("UartixInf") << 2;
    QTest::newRow("com.zq.UartixInf") << QByteArray("com.zq.UartixInf") << 2;
    QTest::newRow("QObject goes to the base") << QByteArray("QObject") << 0;
    QTest::newRow("unknown") << QByteArray("com.zq.Other") << 3;
}

void UartixTest::casts()
{
    QFETCH(QByteArray, name);
    QFETCH(int, part);

    void* expected = nullptr;
    if (part == 0)
        expected = root.data();
    else if (part == 1)
        expected = static_cast<void*>(device);
    else if (part == 2)
        expected = static_cast<void*>(uartix);
    QCOMPARE(root->qt_metacast(name.constData()), expected);
    if (part == 1 || part == 2)
        QVERIFY(expected != static_cast<void*>(root.data()));
    QCOMPARE(device->object(), root.data());
}

void UartixTest::enumeration_data()
{
    QTest::addColumn<DeviceList>("present");
    QTest::addColumn<int>("numDevicesStatus");
    QTest::addColumn<bool>("refreshed");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("openedNumber"); // -1: open() fails

    const QString pathA = QStringLiteral("\\\\?\\hid#vid_10c4&pid_ea80#a");
    const QString pathB = QStringLiteral("\\\\?\\hid#vid_10c4&pid_ea80#b");
    QTest::newRow("none") << DeviceList() << 0 << true << 0 << -1;
    QTest::newRow("one") << DeviceList { { "S1", pathA } } << 0 << true << 1 << 0;
    QTest::newRow("two open the first")
        << DeviceList { { "S1", pathA }, { "S2", pathB } } << 0 << true << 2 << 0;
    QTest::newRow("empty serial left out")
        << DeviceList { { "", pathA }, { "S2", pathB } } << 0 << true << 1 << 1;
    QTest::newRow("empty path left out")
        << DeviceList { { "S1", "" }, { "S2", pathB }, { "S3", pathA } } << 0 << true << 2 << 1;
    QTest::newRow("long strings are cut, not overrun")
        << DeviceList { { QString(400, 'S'), QString(700, 'p') } } << 0 << true << 1 << 0;
    QTest::newRow("enumeration error")
        << DeviceList { { "S1", pathA } } << 0x0F << false << 0 << -1;
}

void UartixTest::enumeration()
{
    QFETCH(DeviceList, present);
    QFETCH(int, numDevicesStatus);
    QFETCH(bool, refreshed);
    QFETCH(int, count);
    QFETCH(int, openedNumber);

    addDevices(present);
    fake.setStatus("HidUart_GetNumDevices", numDevicesStatus);
    QSignalSpy usbRefreshed(root, SIGNAL(usbRefreshed(int)));
    QVERIFY(usbRefreshed.isValid());
    uartix->init(QStringLiteral(FAKEHIDUART));

    QCOMPARE(usbRefreshed.count(), refreshed ? 1 : 0);
    if (refreshed)
        QCOMPARE(usbRefreshed.at(0).at(0).toInt(), count);
    QCOMPARE(uartix->deviceCount(), count);
    QCOMPARE(uartix->refreshDevices(), refreshed);
    QCOMPARE(uartix->deviceCount(), count);

    QSignalSpy opened(root, SIGNAL(opened()));
    QCOMPARE(device->open(), openedNumber >= 0);
    QCOMPARE(opened.count(), openedNumber >= 0 ? 1 : 0);
    QCOMPARE(fake.openHandles(), openedNumber >= 0 ? 1 : 0);
    if (openedNumber >= 0) {
        uint32_t number = 0;
        uint16_t vid = 0, pid = 0;
        fake.lastOpen(&number, &vid, &pid);
        QCOMPARE(int(number), openedNumber);
        QCOMPARE(vid, uint16_t(0x10C4));
        QCOMPARE(pid, uint16_t(0xEA80));
    } else {
        QCOMPARE(fake.callCount("HidUart_Open"), 0);
    }
}

void UartixTest::absurdDeviceCountIsBounded()
{
    // A library that claims 4294967295 devices is asked about the first 128 only.
    addDevices({ { "S1", "P1" }, { "S2", "P2" } });
    fake.setReportedCount(0xFFFFFFFFu);
    QSignalSpy usbRefreshed(root, SIGNAL(usbRefreshed(int)));
    uartix->init(QStringLiteral(FAKEHIDUART));
    QCOMPARE(uartix->deviceCount(), 2);
    QCOMPARE(fake.callCount("HidUart_GetString"), 2 * int(128));
    QCOMPARE(usbRefreshed.count(), 1);
    QVERIFY(device->open());
}

void UartixTest::openPassesConfiguration_data()
{
    QTest::addColumn<bool>("configure");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("parity");

    QTest::newRow("defaults") << false << 9600 << 3 << 0 << 0;
    // setUartConfig takes stop bits before parity; the library takes parity first.
    QTest::newRow("stop bits and parity differ") << true << 115200 << 2 << 1 << 4;
    QTest::newRow("large baud rate") << true << 921600 << 3 << 0 << 2;
}

void UartixTest::openPassesConfiguration()
{
    QFETCH(bool, configure);
    QFETCH(int, baudRate);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QFETCH(int, parity);

    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    if (configure)
        uartix->setUartConfig(baudRate, uchar(dataBits), uchar(stopBits), uchar(parity));
    QVERIFY(device->open());

    uint32_t gotBaud = 0;
    uint8_t gotData = 0, gotParity = 0, gotStop = 0, gotFlow = 0;
    fake.lastUartConfig(&gotBaud, &gotData, &gotParity, &gotStop, &gotFlow);
    QCOMPARE(int(gotBaud), baudRate);
    QCOMPARE(int(gotData), dataBits);
    QCOMPARE(int(gotParity), parity);
    QCOMPARE(int(gotStop), stopBits);
    QCOMPARE(int(gotFlow), 0);

    uint32_t readTimeout = 1, writeTimeout = 0;
    fake.lastTimeouts(&readTimeout, &writeTimeout);
    QCOMPARE(readTimeout, 0u);
    QCOMPARE(writeTimeout, 500u);
    int32_t transmit = 0, receive = 0;
    fake.lastFlush(&transmit, &receive);
    QCOMPARE(transmit, 1);
    QCOMPARE(receive, 1);

    // Already open: a second open is refused and opens nothing more.
    QSignalSpy opened(root, SIGNAL(opened()));
    QVERIFY(!device->open());
    QCOMPARE(opened.count(), 0);
    QCOMPARE(fake.openHandles(), 1);
}

void UartixTest::openFailures_data()
{
    QTest::addColumn<QByteArray>("entry"); // the library call that fails
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("nullHandle");

    QTest::newRow("library refuses") << QByteArray("HidUart_Open") << 0x01 << false;
    QTest::newRow("success without a handle") << QByteArray("HidUart_Open") << 0 << true;
    // A device that refuses its line settings is of no use: it is closed again, not leaked.
    QTest::newRow("configuration refused") << QByteArray("HidUart_SetUartConfig") << 0x06 << false;
    QTest::newRow("time-outs refused") << QByteArray("HidUart_SetTimeouts") << 0x02 << false;
    QTest::newRow("flush refused") << QByteArray("HidUart_FlushBuffers") << 0x02 << false;
}

void UartixTest::openFailures()
{
    QFETCH(QByteArray, entry);
    QFETCH(int, status);
    QFETCH(bool, nullHandle);

    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    fake.setStatus(entry.constData(), status);
    fake.setNullHandle(nullHandle);

    QSignalSpy opened(root, SIGNAL(opened()));
    QSignalSpy closed(root, SIGNAL(closed()));
    QSignalSpy read(root, SIGNAL(read(QByteArray)));
    // A reader stopped by the last test may take a moment to end after its close returned.
    QTRY_COMPARE(readerThreads(), 0);
    const int threadsBefore = threadCount();
    QVERIFY(!device->open());
    QCOMPARE(opened.count(), 0);
    QCOMPARE(fake.openHandles(), 0);
    if (entry == "HidUart_Open")
        QCOMPARE(fake.callCount("HidUart_SetUartConfig"), 0);
    QCOMPARE(device->write("x"), 3);

    // No reader thread was started, so nothing ever asks to read; closing reports nothing.
    QCOMPARE(threadCount(), threadsBefore);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(fake.callCount("HidUart_Read"), 0);
    device->close();
    QCOMPARE(closed.count(), 0);
    QCOMPARE(read.count(), 0);

    // Once the library agrees, the same device opens.
    fake.setStatus(entry.constData(), 0);
    fake.setNullHandle(0);
    QVERIFY(device->open());
    QCOMPARE(fake.openHandles(), 1);
}

void UartixTest::refreshWhileOpenIsRefused()
{
    addDevices({ { "S1", "P1" }, { "S2", "P2" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QVERIFY(device->open());
    fake.addDevice("S3", "P3");

    QSignalSpy usbRefreshed(root, SIGNAL(usbRefreshed(int)));
    QVERIFY(!uartix->refreshDevices());
    QCOMPARE(usbRefreshed.count(), 0);
    QCOMPARE(uartix->deviceCount(), 2);

    device->close();
    QVERIFY(uartix->refreshDevices());
    QCOMPARE(usbRefreshed.count(), 1);
    QCOMPARE(usbRefreshed.at(0).at(0).toInt(), 3);
}

void UartixTest::readChunks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("chunks");

    QTest::newRow("nothing") << 0 << QList<int>();
    QTest::newRow("one byte") << 1 << QList<int> { 1 };
    QTest::newRow("a whole chunk") << 1024 << QList<int> { 1024 };
    QTest::newRow("more than a chunk") << 1500 << QList<int> { 1024, 476 };
    QTest::newRow("three chunks") << 2049 << QList<int> { 1024, 1024, 1 };
}

void UartixTest::readChunks()
{
    QFETCH(int, size);
    QFETCH(QList<int>, chunks);

    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QSignalSpy read(root, SIGNAL(read(QByteArray)));
    QVERIFY(read.isValid());
    QVERIFY(device->open());
    const QByteArray sent = pattern(size);
    fake.queue(sent);

    // The reader polls every 100 ms; polls after the last chunk find nothing and emit nothing.
    QTRY_VERIFY_WITH_TIMEOUT(fake.callCount("HidUart_Read") > chunks.size() + 2, 30000);
    QCOMPARE(read.count(), chunks.size());
    QCOMPARE(fake.lastReadRequest(), 1024u);

    QByteArray received;
    for (int i = 0; i < chunks.size(); ++i) {
        const QByteArray chunk = read.at(i).at(0).toByteArray();
        QCOMPARE(chunk.size(), chunks.at(i));
        received += chunk;
    }
    QCOMPARE(received, sent);
}

void UartixTest::readerSurvivesNestedEventLoop()
{
    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    Recorder recorder(root);
    RequestCounter requests(root);
    // A receiver that spins an event loop on its first chunk, as a host showing a dialog does,
    // until read requests have come in meanwhile.
    int readsDuringWait = 0;
    bool requestsDuringWait = false;
    recorder.onFirstChunk = [&] {
        const int before = fake.callCount("HidUart_Read");
        const int requestsBefore = requests.count;
        requestsDuringWait
            = QTest::qWaitFor([&] { return requests.count >= requestsBefore + 3; }, 30000);
        readsDuringWait = fake.callCount("HidUart_Read") - before;
    };
    QVERIFY(device->open());
    const QByteArray sent = pattern(1500);
    fake.queue(sent);

    QTRY_COMPARE_WITH_TIMEOUT(recorder.chunks.size(), 2, 30000);
    QCOMPARE(recorder.chunks.join(), sent);
    QVERIFY(requestsDuringWait);
    QCOMPARE(readsDuringWait, 0); // nested polls leave the bytes where they are
}

void UartixTest::failingReadClosesOnce()
{
    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    Recorder recorder(root);
    QVERIFY(device->open());
    fake.queue("ab");
    QTRY_COMPARE_WITH_TIMEOUT(recorder.chunks.size(), 1, 30000);

    // The device breaks: reads and writes fail from now on.
    fake.setStatus("HidUart_Read", 0x01);
    fake.setStatus("HidUart_Write", 0x01);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events.count("closed"), 1, 30000);
    QCOMPARE(recorder.events, QStringList({ "opened", "closed" }));
    QCOMPARE(fake.openHandles(), 0);
    // No reader is left to poll it.
    QTRY_COMPARE(readerThreads(), 0);
    QCoreApplication::sendPostedEvents();
    const int reads = fake.callCount("HidUart_Read");
    QCoreApplication::processEvents();
    QCOMPARE(fake.callCount("HidUart_Read"), reads);
    QCOMPARE(device->write("x"), 3);
    QCOMPARE(recorder.events.count("closed"), 1);
}

void UartixTest::receiverDeletesThePlugin()
{
    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    // A host that drops the device as soon as bytes come, from inside the read signal.
    Deleter deleter(root);
    QVERIFY(QObject::connect(root, SIGNAL(read(QByteArray)), &deleter, SLOT(onRead(QByteArray))));
    WarningCatcher warnings;
    QVERIFY(device->open());
    fake.queue("abc");
    QTRY_VERIFY_WITH_TIMEOUT(root.isNull(), 30000);
    QCOMPARE(deleter.received, QByteArray("abc"));
    // The object was not touched after it was gone: no mutex left locked in it.
    QVERIFY2(!warnings.seen().contains(QStringLiteral("QMutex: destroying locked mutex")),
        qPrintable(warnings.seen().join('\n')));
    QCOMPARE(fake.openHandles(), 0);
    QTRY_COMPARE(readerThreads(), 0);
    QCoreApplication::sendPostedEvents();
}

void UartixTest::writeStatus_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("writeStatus");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("written");

    const QByteArray command = QByteArray::fromHex("aabb0301020304");
    QTest::newRow("before open") << false << 0 << command << 3 << QByteArray();
    QTest::newRow("open") << true << 0 << command << 0 << command;
    QTest::newRow("zero bytes inside")
        << true << 0 << QByteArray("\x00\x01\x00", 3) << 0 << QByteArray("\x00\x01\x00", 3);
    QTest::newRow("library status passed on") << true << 0x11 << command << 0x11 << QByteArray();
}

void UartixTest::writeStatus()
{
    QFETCH(bool, open);
    QFETCH(int, writeStatus);
    QFETCH(QByteArray, data);

    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    if (open)
        QVERIFY(device->open());
    fake.setStatus("HidUart_Write", writeStatus);

    QTEST(device->write(data), "result");
    QTEST(fake.written(), "written");
    QCOMPARE(fake.callCount("HidUart_Write"), open ? 1 : 0);
}

void UartixTest::closeSignals()
{
    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QSignalSpy closed(root, SIGNAL(closed()));
    QVERIFY(closed.isValid());

    device->close();
    QCOMPARE(closed.count(), 0);
    QCOMPARE(fake.callCount("HidUart_Close"), 0);

    QVERIFY(device->open());
    device->close();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(fake.callCount("HidUart_Close"), 1);
    QCOMPARE(fake.openHandles(), 0);
    QCOMPARE(device->write("x"), 3);

    device->close();
    QCOMPARE(closed.count(), 1);

    // Nothing is read after the close, even with requests still queued: the reader has stopped,
    // and what it asked for before is handled now.
    QSignalSpy read(root, SIGNAL(read(QByteArray)));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(read.count(), 0);
    QCOMPARE(fake.callCount("HidUart_Read"), 0);

    // The list survives a close: the device opens again without a new enumeration.
    QVERIFY(device->open());
    fake.queue("abc");
    QTRY_COMPARE_WITH_TIMEOUT(read.count(), 1, 30000);
    QCOMPARE(read.at(0).at(0).toByteArray(), QByteArray("abc"));
}

void UartixTest::failedCloseIsTriedAgain()
{
    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QSignalSpy closed(root, SIGNAL(closed()));
    fake.setStatus("HidUart_Close", 0x02);
    QVERIFY(device->open());
    device->close();
    // The device is closed for the host all the same; the library still holds the handle.
    QCOMPARE(closed.count(), 1);
    QCOMPARE(device->write("x"), 3);
    QCOMPARE(fake.openHandles(), 1);

    // The next open closes it first, once the library lets it.
    fake.setStatus("HidUart_Close", 0);
    QVERIFY(device->open());
    QCOMPARE(fake.callCount("HidUart_Close"), 2);
    QCOMPARE(fake.openHandles(), 1);

    // And so does the object's end.
    fake.setStatus("HidUart_Close", 0x02);
    device->close();
    QCOMPARE(fake.openHandles(), 1);
    fake.setStatus("HidUart_Close", 0);
    delete root.data();
    QCOMPARE(fake.openHandles(), 0);
}

void UartixTest::openThenCloseAtOnce()
{
    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QSignalSpy closed(root, SIGNAL(closed()));

    // A close that comes before the reader thread has run must still stop it: a stop request
    // the new thread wiped would leave it running for good.
    for (int i = 0; i < 20; ++i) {
        QVERIFY(device->open());
        device->close();
        QTRY_COMPARE(readerThreads(), 0);
    }
    QCOMPARE(closed.count(), 20);
}

void UartixTest::deviceChange_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<uint>("wParam");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("unplugged"); // serial the library no longer lists
    QTest::addColumn<QString>("plugged"); // serial the library lists from now on
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("stillOpen");
    QTest::addColumn<int>("countAfter");

    const QString bridge = QStringLiteral("\\\\?\\hid#vid_10c4&pid_ea80#6&1&0&0000#{4d1e55b2}");
    const QString mouse = QStringLiteral("\\\\?\\hid#vid_046d&pid_c077#7&2&0&0000#{4d1e55b2}");
    const uint arrival = 0x8000;
    const uint removal = 0x8004;

    QTest::newRow("unplug the open device, other letter case")
        << true << removal << bridge.toUpper() << "S1" << QString()
        << QStringList { "closed", "removed", "usbRefreshed 1" } << false << 1;
    QTest::newRow("unplug the open device, same case")
        << true << removal << bridge << "S1" << QString()
        << QStringList { "closed", "removed", "usbRefreshed 1" } << false << 1;
    QTest::newRow("unplug another device while open")
        << true << removal << mouse << QString() << QString() << QStringList() << true << 2;
    QTest::newRow("unplug the bridge while nothing is open")
        << false << removal << bridge << "S1" << QString() << QStringList { "usbRefreshed 1" }
        << false << 1;
    QTest::newRow("plug in a bridge while closed")
        << false << arrival << mouse << QString() << "S3"
        << QStringList { "arrival", "usbRefreshed 3" } << false << 3;
    QTest::newRow("plug in a mouse while open")
        << true << arrival << mouse << QString() << QString() << QStringList { "arrival" } << true
        << 2;
    QTest::newRow("other change is not handled")
        << true << 0x0007u << bridge << QString() << QString() << QStringList() << true << 2;
}

void UartixTest::deviceChange()
{
    QFETCH(bool, open);
    QFETCH(uint, wParam);
    QFETCH(QString, name);
    QFETCH(QString, unplugged);
    QFETCH(QString, plugged);
    QFETCH(QStringList, events);
    QFETCH(bool, stillOpen);
    QFETCH(int, countAfter);

    const QString bridge = QStringLiteral("\\\\?\\hid#vid_10c4&pid_ea80#6&1&0&0000#{4d1e55b2}");
    addDevices({ { "S1", bridge }, { "S2", "\\\\?\\hid#vid_10c4&pid_ea80#6&2&0&0000" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QVERIFY(notificationWindow());
    QVERIFY(notificationWindow()->isHidden());
    if (open)
        QVERIFY(device->open());
    if (!unplugged.isEmpty())
        fake.removeDevice(unplugged.toUtf8().constData());
    if (!plugged.isEmpty())
        fake.addDevice(plugged.toUtf8().constData(), "\\\\?\\new");

    Recorder recorder(root);
    QCOMPARE(deviceChange(wParam, record(name)), wParam == 0x8000 || wParam == 0x8004);
    QCOMPARE(recorder.events, events);
    QCOMPARE(device->write("x") != 3, stillOpen);
    QCOMPARE(uartix->deviceCount(), countAfter);
}

void UartixTest::reopenedDeviceIsStillWatched()
{
    const QString bridge = QStringLiteral("\\\\?\\hid#vid_10c4&pid_ea80#6&1&0&0000");
    addDevices({ { "S1", bridge } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QVERIFY(device->open());
    device->close();
    // Opened again without a new enumeration in between.
    QVERIFY(device->open());
    fake.removeDevice("S1");

    Recorder recorder(root);
    QVERIFY(deviceChange(0x8004, record(bridge)));
    QCOMPARE(recorder.events, QStringList({ "closed", "removed", "usbRefreshed 0" }));
    QCOMPARE(fake.openHandles(), 0);
}

void UartixTest::initWhileOpenClosesFirst()
{
    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QVERIFY(device->open());

    // The open handle belongs to the binding being replaced: it is closed, not leaked.
    Recorder recorder(root);
    uartix->init(QStringLiteral(FAKEHIDUART));
    QCOMPARE(recorder.events, QStringList({ "closed", "usbRefreshed 1" }));
    QCOMPARE(fake.openHandles(), 0);
    QVERIFY(device->open());
}

void UartixTest::unusableLibrary_data()
{
    QTest::addColumn<QString>("file");

    QTest::newRow("missing file") << QStringLiteral("/nonexistent/libnohiduart.so");
    QTest::newRow("lacks an entry point") << QStringLiteral(FAKEHIDUART_PARTIAL);
    QTest::newRow("no file name") << QString();
}

void UartixTest::unusableLibrary()
{
    QFETCH(QString, file);

    // A working binding first, so the failed load must also drop it.
    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QCOMPARE(uartix->deviceCount(), 1);

    QSignalSpy usbRefreshed(root, SIGNAL(usbRefreshed(int)));
    QSignalSpy opened(root, SIGNAL(opened()));
    uartix->init(file);
    QCOMPARE(uartix->deviceCount(), 0);
    QVERIFY(!uartix->refreshDevices());
    QVERIFY(!device->open());
    QCOMPARE(device->write("x"), 3);
    QCOMPARE(usbRefreshed.count(), 0);
    QCOMPARE(opened.count(), 0);
    // A device change still reaches a harmless refresh.
    QVERIFY(deviceChange(0x8000, QByteArray()));

    // A good library makes the plug-in usable again.
    uartix->init(QStringLiteral(FAKEHIDUART));
    QCOMPARE(uartix->deviceCount(), 1);
    QVERIFY(device->open());
}

void UartixTest::connectSignal_data()
{
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("closed to a slot")
        << QByteArray(SIGNAL(closed())) << QByteArray(SLOT(onClosed())) << true
        << QStringList { "closed" };
    QTest::newRow("opened to a slot")
        << QByteArray(SIGNAL(opened())) << QByteArray(SLOT(onOpened())) << true
        << QStringList { "opened" };
    QTest::newRow("signal to signal") << QByteArray(SIGNAL(opened())) << QByteArray(SIGNAL(ping()))
                                      << true << QStringList { "ping" };
    QTest::newRow("unknown signal")
        << QByteArray(SIGNAL(vanished())) << QByteArray(SLOT(onClosed())) << false << QStringList();
    QTest::newRow("unknown slot") << QByteArray(SIGNAL(closed())) << QByteArray(SLOT(onNothing()))
                                  << false << QStringList();
    QTest::newRow("mismatched arguments")
        << QByteArray(SIGNAL(opened())) << QByteArray(SLOT(onUsbRefreshed(int))) << false
        << QStringList();
}

void UartixTest::connectSignal()
{
    QFETCH(QByteArray, signal);
    QFETCH(QByteArray, method);
    QFETCH(bool, result);
    QFETCH(QStringList, events);

    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    SignalSink sink;
    const auto connectSignal = [&](bool connect) {
        bool done = !result;
        const bool invoked = QMetaObject::invokeMethod(root, "connectSignal", Qt::DirectConnection,
            Q_RETURN_ARG(bool, done), Q_ARG(const char*, signal.constData()),
            Q_ARG(const QObject*, &sink), Q_ARG(const char*, method.constData()),
            Q_ARG(bool, connect));
        return invoked && done == result;
    };

    QVERIFY(connectSignal(true));
    device->open();
    device->close();
    QCOMPARE(sink.events, events);

    QVERIFY(connectSignal(false));
    sink.events.clear();
    device->open();
    device->close();
    QCOMPARE(sink.events, QStringList());
}

void UartixTest::destroyWhileOpen()
{
    addDevices({ { "S1", "P1" } });
    uartix->init(QStringLiteral(FAKEHIDUART));
    QVERIFY(device->open());
    fake.queue(pattern(100));
    QTRY_VERIFY(fake.callCount("HidUart_Read") > 0); // the reader is at work

    // The host forgot to close: the object closes the device and stops its reader itself.
    delete root.data();
    QVERIFY(root.isNull());
    QCOMPARE(fake.openHandles(), 0);
    QVERIFY(!notificationWindow());
    // No reader is left to post to the dead object, and what it posted before goes with it.
    QTRY_COMPARE(readerThreads(), 0);
    QCoreApplication::sendPostedEvents();

    // A new root object comes from the plug-in's entry point.
    root = loader.instance();
    QVERIFY(root);
    device = qobject_cast<SerialDeviceInf*>(root);
    QVERIFY(device);
    QCOMPARE(device->write("x"), 3);
}

QTEST_MAIN(UartixTest)
#include "tst_uartix.moc"

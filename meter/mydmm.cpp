#include "mydmm.h"

#include "dmmdata.h"
#include "framecodec.h"
#include "usbpnpdetector.h"

#include <QSerialPortInfo>
#include <QTimer>
#include <QTimerEvent>

#ifdef Q_OS_WIN
#include <initguid.h>
#include <usbiodef.h>
#endif

namespace {

QString& portOverrideName()
{
    static QString name;
    return name;
}

} // namespace

// Marks a call into the port or into one of its signals. A port closed meanwhile must not be
// destroyed under the call that is still running in it: it is handed to the event loop once the
// outermost such call has returned.
class MyDmm::PortUse
{
public:
    explicit PortUse(MyDmm* link)
        : link(link)
    {
        ++link->portDepth;
    }
    ~PortUse()
    {
        if (--link->portDepth > 0)
            return;
        for (QSerialPort* retired : qAsConst(link->retiredPorts))
            retired->deleteLater();
        link->retiredPorts.clear();
    }
    PortUse(const PortUse&) = delete;
    PortUse& operator=(const PortUse&) = delete;

private:
    MyDmm* link;
};

MyDmm::MyDmm(QObject* parent)
    : QObject(parent)
{
    damagedOnly = new QTimer(this);
    damagedOnly->setObjectName(QStringLiteral("damagedOnlyTimer"));
    damagedOnly->setSingleShot(true);
    damagedOnly->setInterval(DamagedOnlyMs);
    connect(damagedOnly, &QTimer::timeout, this, &MyDmm::damagedOnlyTimeout);

#ifdef Q_OS_WIN
    detector = new USBPNPDetector(&GUID_DEVINTERFACE_USB_DEVICE, 1, nullptr);
#else
    detector = new USBPNPDetector(nullptr);
#endif
    connect(detector, &USBPNPDetector::deviceRemoved, this, &MyDmm::slotUSBRemoved);
    connect(detector, &USBPNPDetector::deviceDiscovered, this, &MyDmm::slotUSBArrived);
}

MyDmm::~MyDmm()
{
    delete detector;
    detector = nullptr;
    close();
}

void MyDmm::setPortOverride(const QString& port)
{
    portOverrideName() = port;
}

QString MyDmm::portOverride()
{
    return portOverrideName();
}

QString MyDmm::portName() const
{
    return linkOpen && port ? port->portName() : QString();
}

bool MyDmm::open()
{
    if (linkOpen)
        return false;

    QString name = portOverride();
    if (name.isEmpty()) {
        const auto ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo& info : ports) {
            if (info.hasVendorIdentifier() && info.hasProductIdentifier()
                && info.vendorIdentifier() == VendorId && info.productIdentifier() == ProductId) {
                name = info.portName();
                break;
            }
        }
        if (name.isEmpty())
            return false;
    }

    // Parented so that a port whose deletion had to be deferred still goes with the link.
    auto* serial = new QSerialPort(name, this);
    if (!serial->open(QIODevice::ReadWrite)) {
        delete serial;
        return false;
    }
    serial->setBaudRate(QSerialPort::Baud19200, QSerialPort::AllDirections);
    serial->setDataBits(QSerialPort::Data8);
    serial->setFlowControl(QSerialPort::NoFlowControl);
    serial->setParity(QSerialPort::NoParity);
    serial->setStopBits(QSerialPort::OneStop);
    // Bytes and faults of an earlier connection mean nothing on this one.
    resetLine();
    if (damagedCount != 0) {
        damagedCount = 0;
        emit damagedFramesChanged(0);
    }
    port = serial;
    connect(port, &QSerialPort::readyRead, this, &MyDmm::portReadyRead);
    connect(port, &QSerialPort::errorOccurred, this, &MyDmm::portError);

    if (timerId == 0 && sampling.sampleRate > 0)
        startSampleTimer();
    linkOpen = true;
    emit opened();
    return true;
}

void MyDmm::close()
{
    if (!linkOpen)
        return;
    stopSampleTimer();
    linkOpen = false;
    QSerialPort* serial = port;
    port = nullptr;
    serial->disconnect(this);
    serial->close();
    // close() may run inside one of the port's own signals (an error, or a reader reacting to a
    // reading): then the port goes once that call has returned.
    if (portDepth > 0)
        retiredPorts.append(serial);
    else
        delete serial;
    // A frame cut off by the close must not be completed by the bytes of the next connection.
    resetLine();
    emit closed();
}

void MyDmm::resetLine()
{
    receiveBuffer.clear();
    damagedOnly->stop();
    damagedReported = false;
}

void MyDmm::portError(QSerialPort::SerialPortError error)
{
    // A vanished device (or a pseudo-terminal whose far end closed) keeps reporting these errors
    // as fast as the port is polled; close like an unplug so the window learns of it.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    QSerialPort* failed = qobject_cast<QSerialPort*>(sender());
    if (failed != port)
        return;
    PortUse use(this);
    closeLost();
}

void MyDmm::closeLost()
{
    close();
    emit connectionLost();
}

void MyDmm::syncTime(const QDateTime& dt)
{
    if (!linkOpen)
        return;
    sendFrame(FrameCodec::clockSetPayload(dt));
}

bool MyDmm::sendCommand10()
{
    return sendFrame(FrameCodec::command10Payload());
}

void MyDmm::downloadStore()
{
    storeTotal = 0;
    storeCount = 0;
    sendFrame(FrameCodec::downloadPayload());
}

bool MyDmm::sendFrame(QByteArray payload)
{
    if (!linkOpen || !port)
        return false;
    const QByteArray frame = FrameCodec::commandFrame(payload);
    // A write may report an error at once, and the error closes the link.
    PortUse use(this);
    return port->write(frame) == frame.size();
}

void MyDmm::handleFrame(const QByteArray& frame)
{
    if (frame.size() < FrameCodec::HeaderLength)
        return;
    const int type = uchar(frame.at(3));
    // A reading frame of the wrong length would be decoded past its end: drop it.
    if ((type == FrameCodec::LiveReading || type == FrameCodec::StoredReading)
        && frame.size() != FrameCodec::ReadingFrameLength)
        return;

    if (type == FrameCodec::LiveReading) {
        if (!sampleTick && sampling.sampleRate != 0)
            return;
        sampleTick = false;
        emit display(FrameCodec::decodeReading(frame, lastUnitText, timeStamp));
    } else if (type == FrameCodec::StoredReading) {
        ++storeCount;
        emit displayStore(FrameCodec::decodeReading(frame, lastUnitText, timeStamp));
    }
}

void MyDmm::portReadyRead()
{
    // The readings go out from inside the port's signal, and their receivers may close the link.
    PortUse use(this);
    if (!port || port->bytesAvailable() <= 0)
        return;
    const QByteArray data = port->readAll();
    if (!data.isEmpty())
        slotSerialDevRead(data);
}

void MyDmm::slotSerialDevRead(QByteArray data)
{
    receiveBuffer.append(data);
    QByteArray frame;
    int damaged = 0;
    while (FrameCodec::takeFrame(receiveBuffer, frame, &damaged)) {
        if (damaged > 0) {
            noteDamaged(damaged);
            damaged = 0;
        }
        // A good frame ends a run of damaged ones.
        damagedOnly->stop();
        damagedReported = false;
        lastFrame = frame;
        handleFrame(frame);
    }
    if (damaged > 0)
        noteDamaged(damaged);
}

void MyDmm::noteDamaged(int count)
{
    damagedCount += count;
    emit damagedFramesChanged(damagedCount);
    if (!damagedReported && !damagedOnly->isActive())
        damagedOnly->start();
}

void MyDmm::damagedOnlyTimeout()
{
    // Said once per run of damaged frames: the count in the status bar tells the rest.
    damagedReported = true;
    emit message(tr("For %1 s the meter has sent only damaged frames (%2 dropped since "
                    "connecting), so nothing was recorded. Check the cable and the meter.")
                     .arg(DamagedOnlyMs / 1000)
                     .arg(damagedCount));
}

void MyDmm::slotUSBRemoved(HIDDeviceInfo info)
{
    if (linkOpen && port && info.name == port->portName())
        closeLost();
}

void MyDmm::slotUSBArrived(HIDDeviceInfo info)
{
    emit deviceArrived(info);
}

void MyDmm::setSampleRate(int ms)
{
    sampling.sampleRate = ms;
    if (!linkOpen)
        return;
    stopSampleTimer();
    if (ms > 0)
        startSampleTimer();
}

void MyDmm::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timerId)
        sampleTick = true;
    else
        QObject::timerEvent(event);
}

void MyDmm::startSampleTimer()
{
    timerId = startTimer(sampling.sampleRate, Qt::CoarseTimer);
}

void MyDmm::stopSampleTimer()
{
    if (timerId != 0) {
        killTimer(timerId);
        timerId = 0;
    }
}

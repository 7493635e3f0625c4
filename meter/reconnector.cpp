#include "reconnector.h"

#include "mydmm.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>

namespace {
// A port that has just appeared may not be ready, or not yet accessible, for a moment.
constexpr int RetryMs = 400;
constexpr int MaxTries = 5;
}

Reconnector::Reconnector(MyDmm* link, QObject* parent)
    : QObject(parent)
    , dmm(link)
{
    connect(dmm, &MyDmm::connectionLost, this, [this] {
        if (waiting)
            return;
        waiting = true;
        emit lost();
    });
    connect(dmm, &MyDmm::opened, this, [this] {
        waiting = false;
        tries = 0;
    });
    connect(dmm, &MyDmm::deviceArrived, this, &Reconnector::deviceArrived);
}

void Reconnector::deviceArrived(const HIDDeviceInfo& info)
{
    if (!waiting || dmm->isOpened())
        return;
    const QString overrideName = overridePortName(MyDmm::portOverride());
    const QList<Port> ports = overrideName.isEmpty() ? availablePorts() : QList<Port>();
    if (!isMeterArrival(info.name, overrideName, ports))
        return;
    tries = 0;
    tryOpen(info.name);
}

void Reconnector::tryOpen(const QString& portName)
{
    if (!waiting || dmm->isOpened())
        return;
    if (dmm->open()) {
        emit reconnected(portName);
        return;
    }
    if (++tries < MaxTries) {
        QTimer::singleShot(RetryMs, this, [this, portName] { tryOpen(portName); });
        return;
    }
    emit gaveUp(portName);
}

QList<Reconnector::Port> Reconnector::availablePorts()
{
    QList<Port> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        Port port;
        port.name = info.portName();
        port.hasIdentifiers = info.hasVendorIdentifier() && info.hasProductIdentifier();
        port.vendorId = info.vendorIdentifier();
        port.productId = info.productIdentifier();
        ports << port;
    }
    return ports;
}

QString Reconnector::overridePortName(const QString& portOverride)
{
    if (portOverride.isEmpty())
        return QString();
    // The same name the link's port will report: "/dev/ttyUSB0" and "ttyUSB0" both give "ttyUSB0".
    return QSerialPort(portOverride).portName();
}

bool Reconnector::isMeterArrival(
    const QString& arrivedName, const QString& overrideName, const QList<Port>& ports)
{
    if (arrivedName.isEmpty())
        return false;
    if (!overrideName.isEmpty())
        return arrivedName == overrideName;
    for (const Port& port : ports) {
        if (port.name == arrivedName)
            return port.hasIdentifiers && port.vendorId == MyDmm::VendorId
                && port.productId == MyDmm::ProductId;
    }
    return false;
}

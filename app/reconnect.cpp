#include "reconnect.h"

#include "mydmm.h"

#include <QSerialPort>
#include <QSerialPortInfo>

namespace Reconnect {

QList<Port> availablePorts()
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

QString overridePortName(const QString& portOverride)
{
    if (portOverride.isEmpty())
        return QString();
    // The same name the link's port will report: "/dev/ttyUSB0" and "ttyUSB0" both give "ttyUSB0".
    return QSerialPort(portOverride).portName();
}

bool isMeterArrival(
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

} // namespace Reconnect

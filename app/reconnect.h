#pragma once

#include <QList>
#include <QString>

// Recognises the meter among the serial ports that arrive, so that the window can reconnect by
// itself after the meter's cable was pulled and plugged in again.
namespace Reconnect {

struct Port
{
    QString name; // as QSerialPort::portName gives it
    bool hasIdentifiers = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// Every serial port the system offers now.
QList<Port> availablePorts();

// The port name that a port override (a name or a device path) stands for; empty for none.
QString overridePortName(const QString& portOverride);

// Whether the arrived port is the meter the link would open: the override port when one is set,
// otherwise a port with the meter's USB identifiers.
bool isMeterArrival(
    const QString& arrivedName, const QString& overrideName, const QList<Port>& ports);

} // namespace Reconnect

#pragma once

#include <QString>

// What identifies the adapter behind one serial port, looked up for that port alone rather than
// by listing every port of the system.
class PortIdentity
{
public:
    // The adapter's USB serial number; empty when the port has none (a pseudo-terminal, a
    // built-in port) or it cannot be told. portName is as QSerialPort::portName gives it.
    static QString serialNumber(const QString& portName);
};

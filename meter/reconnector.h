#pragma once

#include "hiddeviceinfo.h"

#include <QList>
#include <QObject>
#include <QString>

class MyDmm;

// Reopens the link when the meter it lost comes back: the cable was pulled and plugged in again,
// or the meter was switched off and on. Only a close the link did by itself starts the wait; the
// user's Disconnect does not.
class Reconnector : public QObject
{
    Q_OBJECT

public:
    struct Port
    {
        QString name; // as QSerialPort::portName gives it
        bool hasIdentifiers = false;
        quint16 vendorId = 0;
        quint16 productId = 0;
    };

    explicit Reconnector(MyDmm* link, QObject* parent = nullptr);

    MyDmm* link() const { return dmm; }
    // The link was lost and the meter is awaited.
    bool isWaiting() const { return waiting; }

    // Every serial port the system offers now.
    static QList<Port> availablePorts();
    // The port name that a port override (a name or a device path) stands for; empty for none.
    static QString overridePortName(const QString& portOverride);
    // Whether the arrived port is the meter the link would open: the override port when one is
    // set, otherwise a port with the meter's USB identifiers.
    static bool isMeterArrival(
        const QString& arrivedName, const QString& overrideName, const QList<Port>& ports);

signals:
    void lost();
    void reconnected(const QString& portName);
    void gaveUp(const QString& portName);

private:
    void deviceArrived(const HIDDeviceInfo& info);
    void tryOpen(const QString& portName);

    MyDmm* dmm;
    bool waiting = false;
    int tries = 0;
};

#pragma once

#include <QMetaType>
#include <QString>

// The device record carried by the hot-plug signals. Only name is filled: the port name exactly as
// QSerialPort::portName gives it. The other fields describe a device but nothing fills them yet.
struct HIDDeviceInfo
{
    QString name;
    QString path;
    QString manufacturer;
    QString product;
    QString serialNumber;
    QString description;
    QString location;
    QString driver;
    QString hardwareId;
    QString instanceId;
    quint16 vendorId = 0;
    quint16 productId = 0;
    quint16 releaseNumber = 0;
    int interfaceNumber = -1;
    int usage = 0;
};

Q_DECLARE_METATYPE(HIDDeviceInfo)

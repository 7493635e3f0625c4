#ifndef SERIALDEVICEINF_H
#define SERIALDEVICEINF_H

#include <QByteArray>
#include <QObject>
#include <QtPlugin>

// A generic byte-stream device as a plug-in host sees it.
class SerialDeviceInf
{
public:
    virtual bool open() = 0;
    virtual void close() = 0;
    // The library's status code (0 = success), or 3 while no device is open.
    virtual int write(const QByteArray& data) = 0;
    // The object that carries the device's signals.
    virtual QObject* object() = 0;
};

#define SerialDeviceInf_iid "com.zq.SerialDeviceInf"
Q_DECLARE_INTERFACE(SerialDeviceInf, SerialDeviceInf_iid)

#endif // SERIALDEVICEINF_H

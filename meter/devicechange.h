#pragma once

#include <QByteArray>
#include <QString>

// A serial port's arrival or removal, decoded from what the operating system reports.
struct DeviceChange
{
    enum Event { None, Arrival, Removal };
    Event event = None;
    QString name;
};

namespace DeviceChangeCodec {

enum : quint32 {
    DeviceArrival = 0x8000, // DBT_DEVICEARRIVAL
    DeviceRemoveComplete = 0x8004, // DBT_DEVICEREMOVECOMPLETE
    DeviceTypePort = 3, // DBT_DEVTYP_PORT
    BroadcastHeaderSize = 12, // size, device type, reserved: three 32-bit fields
};

// Decodes a device-change message: wParam is the event, broadcast the bytes of the record that
// lParam points to, laid out as Windows does (little-endian header, then a NUL-terminated UTF-16
// port name). Anything but a port's arrival or removal gives event None.
DeviceChange decode(quint64 wParam, const QByteArray& broadcast);

// Decodes a udev event of the tty subsystem: action "add" or "remove" and the device's name.
DeviceChange decodeUdev(const QByteArray& action, const QByteArray& sysname);

} // namespace DeviceChangeCodec

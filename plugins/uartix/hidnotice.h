#ifndef HIDNOTICE_H
#define HIDNOTICE_H

#include <QByteArray>
#include <QString>

// What a device-change message means for the bridge plug-in. The message and its broadcast record
// are given as Windows lays them out (DEV_BROADCAST_HDR, DEV_BROADCAST_DEVICEINTERFACE_W), so the
// same decision serves the Windows hook, the Linux udev monitor and the tests.
struct HidNotice
{
    enum : quint32 {
        DeviceChangeMessage = 0x0219, // WM_DEVICECHANGE
        DeviceArrival = 0x8000, // DBT_DEVICEARRIVAL
        DeviceRemoveComplete = 0x8004, // DBT_DEVICEREMOVECOMPLETE
        DeviceInterfaceType = 5, // DBT_DEVTYP_DEVICEINTERFACE
    };
    // Byte offsets in the broadcast record: size, device type, reserved, class GUID, name.
    enum : int { HeaderSize = 12, NameOffset = 28 };

    bool handled = false; // report the message as handled to the system
    bool arrival = false; // emit arrival()
    bool removed = false; // emit removed(): the open device went away
    bool refresh = false; // enumerate the bridge devices again

    // openPath is the path of the open device, empty when nothing is open.
    static HidNotice decide(
        quint32 message, quint32 wParam, const QByteArray& broadcast, const QString& openPath);

    // The device type of the record's header, or 0 when the record is too short to hold one.
    static quint32 deviceType(const QByteArray& broadcast);
    // The zero-terminated UTF-16 name of a device-interface record, bounded by the record.
    static QString deviceName(const QByteArray& broadcast);
    // A device-interface record of the HID class naming the device, as Windows would send it.
    static QByteArray interfaceBroadcast(const QString& name);
};

#endif // HIDNOTICE_H

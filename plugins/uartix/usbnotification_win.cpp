#include "usbnotification.h"

#include "hidnotice.h"

#include <windows.h>

#include <dbt.h> // needs the types of windows.h

namespace {
// GUID_DEVINTERFACE_HID, the device-interface class of HID devices.
const GUID hidInterfaceClass
    = { 0x4D1E55B2, 0xF16F, 0x11CF, { 0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30 } };
}

void USBNotification::registerNotification()
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    ZeroMemory(&filter, sizeof filter);
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = hidInterfaceClass;
    // A failed registration leaves the handle null: no notifications, nothing reported.
    notificationHandle = RegisterDeviceNotificationW(
        reinterpret_cast<HANDLE>(winId()), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void USBNotification::unregisterNotification()
{
    if (notificationHandle)
        UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(notificationHandle));
    notificationHandle = nullptr;
}

bool USBNotification::nativeEvent(const QByteArray& eventType, void* message, long* result)
{
    Q_UNUSED(eventType)
    Q_UNUSED(result) // never written: the system's default answer stands
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_DEVICECHANGE)
        return false;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(msg->lParam);
    const QByteArray broadcast = header
        ? QByteArray::fromRawData(reinterpret_cast<const char*>(header), int(header->dbch_size))
        : QByteArray();
    return handleDeviceChange(uint(msg->wParam), broadcast);
}

#include "usbpnpdetector.h"

#include "registrationwidget.h"

#include <dbt.h>

#include <cstring>

USBPNPDetector::USBPNPDetector(const GUID* classes, int count, QObject* parent)
    : QObject(parent)
    , classList(new GUID[count > 0 ? count : 0]())
    , classCount(count > 0 ? count : 0)
{
    if (classCount > 0)
        std::memcpy(classList.get(), classes, sizeof(GUID) * classCount);

    window = new RegistrationWidget;
    connect(window, &RegistrationWidget::deviceChanged, this, &USBPNPDetector::onDeviceChanged);

    const HWND handle = reinterpret_cast<HWND>(window->winId());
    for (int i = 0; i < classCount; ++i) {
        DEV_BROADCAST_DEVICEINTERFACE_W filter;
        std::memset(&filter, 0, sizeof filter);
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = classList[i];
        HDEVNOTIFY notification
            = RegisterDeviceNotificationW(handle, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        // A failed registration is silent and leaves the later classes unregistered.
        if (!notification)
            break;
        notificationHandles.append(notification);
    }
}

USBPNPDetector::~USBPNPDetector()
{
    for (HDEVNOTIFY notification : qAsConst(notificationHandles))
        UnregisterDeviceNotification(notification);
    delete window;
}

bool USBPNPDetector::isMonitoring() const
{
    return !notificationHandles.isEmpty();
}

LRESULT USBPNPDetector::onDeviceChanged(WPARAM wParam, LPARAM lParam)
{
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (!header || (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE))
        return 0;
    const QByteArray record
        = QByteArray::fromRawData(reinterpret_cast<const char*>(header), int(header->dbch_size));
    report(DeviceChangeCodec::decode(quint64(wParam), record));
    return 0;
}

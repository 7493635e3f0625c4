#include "usbnotification.h"

#include "hidnotice.h"
#include "uartix.h"

USBNotification::USBNotification(Uartix* owner)
    : QWidget(nullptr)
    , owner(owner)
{
    registerNotification();
}

USBNotification::~USBNotification()
{
    unregisterNotification();
}

bool USBNotification::handleDeviceChange(uint wParam, const QByteArray& broadcast)
{
    QString openPath;
    if (owner->isOpened() && owner->currentDevice)
        openPath = owner->currentDevice->path;

    const HidNotice notice
        = HidNotice::decide(HidNotice::DeviceChangeMessage, wParam, broadcast, openPath);
    if (notice.arrival)
        emit arrival();
    if (notice.removed)
        emit removed(); // the owner closes the device here, so the enumeration below may run
    if (notice.refresh)
        owner->refreshDevices();
    return notice.handled;
}

#include "usbnotification.h"

#include "hidnotice.h"

#include <QSocketNotifier>

#include <libudev.h>

// The bridge shows up as a hidraw node; its device node stands in for the Windows device path.
void USBNotification::registerNotification()
{
    udevContext = udev_new();
    if (!udevContext)
        return;
    udev_monitor* monitor = udev_monitor_new_from_netlink(udevContext, "udev");
    if (!monitor)
        return;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0
        || udev_monitor_enable_receiving(monitor) < 0) {
        udev_monitor_unref(monitor);
        return;
    }
    notificationHandle = monitor;
    udevNotifier = new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read, this);
    connect(udevNotifier, &QSocketNotifier::activated, this, &USBNotification::receiveUdevEvent);
}

void USBNotification::unregisterNotification()
{
    delete udevNotifier;
    udevNotifier = nullptr;
    if (notificationHandle)
        udev_monitor_unref(static_cast<udev_monitor*>(notificationHandle));
    notificationHandle = nullptr;
    if (udevContext)
        udev_unref(udevContext);
    udevContext = nullptr;
}

void USBNotification::receiveUdevEvent()
{
    udev_device* device
        = udev_monitor_receive_device(static_cast<udev_monitor*>(notificationHandle));
    if (!device)
        return;
    const QByteArray action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    const QString name = node ? QString::fromLocal8Bit(node) : QString();
    udev_device_unref(device);

    if (action == "add")
        handleDeviceChange(HidNotice::DeviceArrival, HidNotice::interfaceBroadcast(name));
    else if (action == "remove")
        handleDeviceChange(HidNotice::DeviceRemoveComplete, HidNotice::interfaceBroadcast(name));
}

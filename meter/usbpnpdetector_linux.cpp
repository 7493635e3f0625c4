#include "usbpnpdetector.h"

#include <QSocketNotifier>

#include <libudev.h>

USBPNPDetector::USBPNPDetector(QObject* parent)
    : QObject(parent)
{
    // Without udev (a container, a minimal system) the detector simply stays silent.
    udevContext = udev_new();
    if (!udevContext)
        return;
    monitor = udev_monitor_new_from_netlink(udevContext, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0
        || udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor)
            udev_monitor_unref(monitor);
        monitor = nullptr;
        return;
    }
    const int fd = udev_monitor_get_fd(monitor);
    if (fd < 0)
        return;
    notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &USBPNPDetector::onUdevReadable);
}

USBPNPDetector::~USBPNPDetector()
{
    notifier.reset();
    if (monitor)
        udev_monitor_unref(monitor);
    if (udevContext)
        udev_unref(udevContext);
}

bool USBPNPDetector::isMonitoring() const
{
    return notifier != nullptr;
}

void USBPNPDetector::onUdevReadable()
{
    udev_device* device = udev_monitor_receive_device(monitor);
    if (!device)
        return;
    // The kernel name (ttyUSB0) is what QSerialPort::portName reports for /dev/ttyUSB0.
    const DeviceChange change = DeviceChangeCodec::decodeUdev(
        udev_device_get_action(device), udev_device_get_sysname(device));
    udev_device_unref(device);
    report(change);
}

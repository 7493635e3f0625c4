#include "portidentity.h"

#include <libudev.h>
#include <sys/stat.h>

QString PortIdentity::serialNumber(const QString& portName)
{
    // The device node's number finds the device also through a link such as
    // /dev/serial/by-id/..., and a pseudo-terminal, which has no device in sysfs, finds none.
    const QString location
        = portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    struct stat node
    {
    };
    if (stat(location.toLocal8Bit().constData(), &node) != 0 || !S_ISCHR(node.st_mode))
        return {};
    udev* context = udev_new();
    if (!context)
        return {};
    QString serial;
    if (udev_device* device = udev_device_new_from_devnum(context, 'c', node.st_rdev)) {
        // udev's own reading first, as the port listing has it; else the USB device's attribute.
        const char* value = udev_device_get_property_value(device, "ID_SERIAL_SHORT");
        if (!value) {
            udev_device* usb
                = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
            value = usb ? udev_device_get_sysattr_value(usb, "serial") : nullptr;
        }
        serial = QString::fromLatin1(value).trimmed();
        udev_device_unref(device);
    }
    udev_unref(context);
    return serial;
}

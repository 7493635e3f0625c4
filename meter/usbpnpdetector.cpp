#include "usbpnpdetector.h"

void USBPNPDetector::report(const DeviceChange& change)
{
    if (change.event == DeviceChange::None)
        return;
    HIDDeviceInfo info;
    info.name = change.name;
    if (change.event == DeviceChange::Arrival)
        emit deviceDiscovered(info);
    else
        emit deviceRemoved(info);
}

// Known to the meta-type system from start-up, before the first detector or link exists.
static void registerDeviceInfoType()
{
    registerHIDDeviceInfo();
}
Q_CONSTRUCTOR_FUNCTION(registerDeviceInfoType)

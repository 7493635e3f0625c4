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

// Known to the meta-type system under its own name from start-up, before the first detector or
// link exists, so that it can travel through queued connections.
static void registerDeviceInfoType()
{
    qRegisterMetaType<HIDDeviceInfo>("HIDDeviceInfo");
}
Q_CONSTRUCTOR_FUNCTION(registerDeviceInfoType)

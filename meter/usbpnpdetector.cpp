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

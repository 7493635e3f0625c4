#ifndef DEVICEENTRY_H
#define DEVICEENTRY_H

#include <QString>

// One bridge device found by an enumeration of the vendor library.
struct DeviceEntry
{
    int index = 0; // device number within the library's enumeration
    quint16 vid = 0x10C4;
    quint16 pid = 0xEA80;
    QString serial;
    QString path;
};

#endif // DEVICEENTRY_H

#include "portidentity.h"

#include <QSerialPortInfo>

QString PortIdentity::serialNumber(const QString& portName)
{
    // Windows names its ports plainly (COM3): the port listing is the way to the adapter.
    return QSerialPortInfo(portName).serialNumber().trimmed();
}

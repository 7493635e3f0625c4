#include "devicechange.h"

#include <QtEndian>

namespace DeviceChangeCodec {

DeviceChange decode(quint64 wParam, const QByteArray& broadcast)
{
    DeviceChange change;
    if (wParam != DeviceArrival && wParam != DeviceRemoveComplete)
        return change;
    if (broadcast.size() < int(BroadcastHeaderSize))
        return change;

    const auto* bytes = reinterpret_cast<const uchar*>(broadcast.constData());
    const quint32 recordSize = qFromLittleEndian<quint32>(bytes);
    const quint32 deviceType = qFromLittleEndian<quint32>(bytes + 4);
    if (deviceType != DeviceTypePort)
        return change;

    // The name ends at its NUL, at the record's own size or at the end of what we were given,
    // whichever comes first: a short or unterminated record must not be read past its end.
    const int end = recordSize >= BroadcastHeaderSize && recordSize < quint32(broadcast.size())
        ? int(recordSize)
        : broadcast.size();
    QString name;
    for (int i = BroadcastHeaderSize; i + 1 < end; i += 2) {
        const quint16 unit = qFromLittleEndian<quint16>(bytes + i);
        if (unit == 0)
            break;
        name.append(QChar(unit));
    }
    change.event = wParam == DeviceArrival ? DeviceChange::Arrival : DeviceChange::Removal;
    change.name = name;
    return change;
}

DeviceChange decodeUdev(const QByteArray& action, const QByteArray& sysname)
{
    DeviceChange change;
    if (sysname.isEmpty())
        return change;
    if (action == "add")
        change.event = DeviceChange::Arrival;
    else if (action == "remove")
        change.event = DeviceChange::Removal;
    else
        return change;
    change.name = QString::fromLocal8Bit(sysname);
    return change;
}

} // namespace DeviceChangeCodec

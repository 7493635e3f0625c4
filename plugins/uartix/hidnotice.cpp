#include "hidnotice.h"

#include <QtEndian>

namespace {

quint32 readDword(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

void appendDword(QByteArray& bytes, quint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    bytes.append(raw, 4);
}

// The device-interface class of HID devices, {4D1E55B2-F16F-11CF-88CB-001111000030}, in the
// GUID's memory layout.
const char hidClassGuid[16] = { '\xB2', '\x55', '\x1E', '\x4D', '\x6F', '\xF1', '\xCF', '\x11',
    '\x88', '\xCB', '\x00', '\x11', '\x11', '\x00', '\x00', '\x30' };

} // namespace

quint32 HidNotice::deviceType(const QByteArray& broadcast)
{
    if (broadcast.size() < HeaderSize)
        return 0;
    return readDword(broadcast, 4);
}

QString HidNotice::deviceName(const QByteArray& broadcast)
{
    // The record's own size field bounds the name; a record claiming more than we hold is cut.
    int end = broadcast.size();
    if (end >= 4)
        end = int(qMin<quint32>(readDword(broadcast, 0), quint32(end)));
    QString name;
    for (int i = NameOffset; i + 1 < end; i += 2) {
        const char16_t unit = qFromLittleEndian<quint16>(broadcast.constData() + i);
        if (unit == 0)
            break;
        name.append(QChar(unit));
    }
    return name;
}

QByteArray HidNotice::interfaceBroadcast(const QString& name)
{
    QByteArray bytes;
    const int size = NameOffset + (name.size() + 1) * 2;
    appendDword(bytes, quint32(size));
    appendDword(bytes, DeviceInterfaceType);
    appendDword(bytes, 0);
    bytes.append(hidClassGuid, sizeof hidClassGuid);
    for (const QChar c : name) {
        char raw[2];
        qToLittleEndian<quint16>(c.unicode(), raw);
        bytes.append(raw, 2);
    }
    bytes.append(2, '\0');
    return bytes;
}

HidNotice HidNotice::decide(
    quint32 message, quint32 wParam, const QByteArray& broadcast, const QString& openPath)
{
    HidNotice notice;
    if (message != DeviceChangeMessage)
        return notice;

    const bool interface = deviceType(broadcast) == DeviceInterfaceType;
    if (wParam == DeviceArrival) {
        notice.arrival = interface;
        notice.refresh = true;
        notice.handled = true;
    } else if (wParam == DeviceRemoveComplete) {
        notice.handled = true;
        if (interface) {
            // The library's path and the broadcast name of one device may differ in letter case.
            // A case-insensitive comparison, not two upper-cased copies: Qt upper-cases text with
            // unpaired surrogates differently in place and in a copy, so equal names could differ.
            notice.removed = !openPath.isEmpty()
                && deviceName(broadcast).compare(openPath, Qt::CaseInsensitive) == 0;
            notice.refresh = true;
        }
    }
    return notice;
}

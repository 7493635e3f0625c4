// The device-change decoders, the link's and the bridge plug-in's, on arbitrary broadcast
// records and udev fields.

#include "fuzzinput.h"

#include "devicechange.h"
#include "hidnotice.h"

#include <QtEndian>

#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t selector = in.byte();
    // Mostly the two events that matter, sometimes any value at all.
    quint64 wParam = selector & 0x80 ? quint64(in.u32()) : (selector & 1 ? 0x8004 : 0x8000);
    const QByteArray broadcast = in.bytes(in.u16() % 1024);

    const DeviceChange change = DeviceChangeCodec::decode(wParam, broadcast);
    const bool portEvent = (wParam == DeviceChangeCodec::DeviceArrival
                               || wParam == DeviceChangeCodec::DeviceRemoveComplete)
        && broadcast.size() >= int(DeviceChangeCodec::BroadcastHeaderSize)
        && qFromLittleEndian<quint32>(broadcast.constData() + 4)
            == DeviceChangeCodec::DeviceTypePort;
    FUZZ_CHECK((change.event != DeviceChange::None) == portEvent);
    if (change.event == DeviceChange::None) {
        FUZZ_CHECK(change.name.isEmpty());
    } else {
        FUZZ_CHECK(change.event
            == (wParam == DeviceChangeCodec::DeviceArrival ? DeviceChange::Arrival
                                                           : DeviceChange::Removal));
        // The name is the UTF-16 text after the header, never past the record or a NUL.
        const int header = DeviceChangeCodec::BroadcastHeaderSize;
        FUZZ_CHECK(change.name.size() <= (broadcast.size() - header) / 2);
        for (int i = 0; i < change.name.size(); ++i) {
            const quint16 unit = qFromLittleEndian<quint16>(broadcast.constData() + header + 2 * i);
            FUZZ_CHECK(unit != 0 && change.name.at(i).unicode() == unit);
        }
    }

    // The plug-in's decision on the same record, for any message.
    const quint32 message = selector & 0x40 ? in.u32() : quint32(HidNotice::DeviceChangeMessage);
    const QString openPath = QString::fromLatin1(in.bytes(in.byte() % 8));
    const HidNotice notice = HidNotice::decide(message, quint32(wParam), broadcast, openPath);
    const bool known = message == HidNotice::DeviceChangeMessage
        && (wParam == HidNotice::DeviceArrival || wParam == HidNotice::DeviceRemoveComplete);
    FUZZ_CHECK(notice.handled == known);
    FUZZ_CHECK(!notice.arrival || (known && wParam == HidNotice::DeviceArrival));
    FUZZ_CHECK(!notice.removed
        || (known && wParam == HidNotice::DeviceRemoveComplete && !openPath.isEmpty()));
    const bool interfaceRecord = HidNotice::deviceType(broadcast) == HidNotice::DeviceInterfaceType;
    FUZZ_CHECK(!notice.arrival || interfaceRecord);
    FUZZ_CHECK(!notice.removed || interfaceRecord);
    const QString hidName = HidNotice::deviceName(broadcast);
    FUZZ_CHECK(hidName.size() <= std::max(0, (broadcast.size() - HidNotice::NameOffset) / 2));
    for (int i = 0; i < hidName.size(); ++i) {
        const quint16 unit
            = qFromLittleEndian<quint16>(broadcast.constData() + HidNotice::NameOffset + 2 * i);
        FUZZ_CHECK(unit != 0 && hidName.at(i).unicode() == unit);
    }
    // A record built for a name gives that name back, up to a NUL in it, and its removal is the
    // open device's.
    const QString built = QString::fromUtf16(
        reinterpret_cast<const ushort*>(broadcast.constData()), broadcast.size() / 2);
    const QString upToNul
        = built.left(built.indexOf(QChar(0)) < 0 ? built.size() : built.indexOf(QChar(0)));
    const QByteArray record = HidNotice::interfaceBroadcast(built);
    FUZZ_CHECK(HidNotice::deviceName(record) == upToNul);
    if (!upToNul.isEmpty()) {
        FUZZ_CHECK(HidNotice::decide(
            HidNotice::DeviceChangeMessage, HidNotice::DeviceRemoveComplete, record, upToNul)
                       .removed);
        // The library's path may differ from the broadcast name in the letter case of ASCII.
        const bool ascii = std::all_of(
            upToNul.begin(), upToNul.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (ascii) {
            FUZZ_CHECK(HidNotice::decide(HidNotice::DeviceChangeMessage,
                HidNotice::DeviceRemoveComplete, record, upToNul.toLower())
                           .removed);
        }
    }

    const QByteArray action = in.bytes(in.byte() % 16);
    const QByteArray sysname = in.rest();
    const DeviceChange udev = DeviceChangeCodec::decodeUdev(action, sysname);
    if (sysname.isEmpty() || (action != "add" && action != "remove")) {
        FUZZ_CHECK(udev.event == DeviceChange::None);
    } else {
        FUZZ_CHECK(udev.event == (action == "add" ? DeviceChange::Arrival : DeviceChange::Removal));
        FUZZ_CHECK(udev.name == QString::fromLocal8Bit(sysname));
    }
    return 0;
}

// The device-change decoders on arbitrary broadcast records and udev fields.

#include "fuzzinput.h"

#include "devicechange.h"

#include <QtEndian>

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
        && qFromLittleEndian<quint32>(broadcast.constData() + 4) == DeviceChangeCodec::DeviceTypePort;
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

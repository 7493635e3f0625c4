#ifndef FAKECONTROL_H
#define FAKECONTROL_H

#include "fakehiduart.h"

#include <QByteArray>
#include <QDataStream>
#include <QLibrary>
#include <QString>

// The substitute library's control entry points, resolved from the same file the plug-in loads.
struct FakeControl
{
    FakeHid_ResetFn reset = nullptr;
    FakeHid_AddDeviceFn addDevice = nullptr;
    FakeHid_RemoveDeviceFn removeDevice = nullptr;
    FakeHid_QueueReadFn queueRead = nullptr;
    FakeHid_PendingReadFn pendingRead = nullptr;
    FakeHid_TakeWrittenFn takeWritten = nullptr;
    FakeHid_SetStatusFn setStatus = nullptr;
    FakeHid_SetNullHandleFn setNullHandle = nullptr;
    FakeHid_CallCountFn callCount = nullptr;
    FakeHid_OpenHandlesFn openHandles = nullptr;
    FakeHid_LastOpenFn lastOpen = nullptr;
    FakeHid_LastUartConfigFn lastUartConfig = nullptr;
    FakeHid_LastTimeoutsFn lastTimeouts = nullptr;
    FakeHid_LastFlushFn lastFlush = nullptr;
    FakeHid_LastReadRequestFn lastReadRequest = nullptr;
    FakeHid_SetReportedCountFn setReportedCount = nullptr;

    bool resolve(QLibrary& lib)
    {
        reset = reinterpret_cast<FakeHid_ResetFn>(lib.resolve("FakeHid_Reset"));
        addDevice = reinterpret_cast<FakeHid_AddDeviceFn>(lib.resolve("FakeHid_AddDevice"));
        removeDevice
            = reinterpret_cast<FakeHid_RemoveDeviceFn>(lib.resolve("FakeHid_RemoveDevice"));
        queueRead = reinterpret_cast<FakeHid_QueueReadFn>(lib.resolve("FakeHid_QueueRead"));
        pendingRead = reinterpret_cast<FakeHid_PendingReadFn>(lib.resolve("FakeHid_PendingRead"));
        takeWritten = reinterpret_cast<FakeHid_TakeWrittenFn>(lib.resolve("FakeHid_TakeWritten"));
        setStatus = reinterpret_cast<FakeHid_SetStatusFn>(lib.resolve("FakeHid_SetStatus"));
        setNullHandle
            = reinterpret_cast<FakeHid_SetNullHandleFn>(lib.resolve("FakeHid_SetNullHandle"));
        callCount = reinterpret_cast<FakeHid_CallCountFn>(lib.resolve("FakeHid_CallCount"));
        openHandles = reinterpret_cast<FakeHid_OpenHandlesFn>(lib.resolve("FakeHid_OpenHandles"));
        lastOpen = reinterpret_cast<FakeHid_LastOpenFn>(lib.resolve("FakeHid_LastOpen"));
        lastUartConfig
            = reinterpret_cast<FakeHid_LastUartConfigFn>(lib.resolve("FakeHid_LastUartConfig"));
        lastTimeouts
            = reinterpret_cast<FakeHid_LastTimeoutsFn>(lib.resolve("FakeHid_LastTimeouts"));
        lastFlush = reinterpret_cast<FakeHid_LastFlushFn>(lib.resolve("FakeHid_LastFlush"));
        lastReadRequest
            = reinterpret_cast<FakeHid_LastReadRequestFn>(lib.resolve("FakeHid_LastReadRequest"));
        setReportedCount
            = reinterpret_cast<FakeHid_SetReportedCountFn>(lib.resolve("FakeHid_SetReportedCount"));
        return reset && addDevice && removeDevice && queueRead && pendingRead && takeWritten
            && setStatus && setNullHandle && callCount && openHandles && lastOpen && lastUartConfig
            && lastTimeouts && lastFlush && lastReadRequest && setReportedCount;
    }

    void queue(const QByteArray& bytes)
    {
        queueRead(reinterpret_cast<const uint8_t*>(bytes.constData()), uint32_t(bytes.size()));
    }

    QByteArray written()
    {
        QByteArray bytes(4096, '\0');
        bytes.resize(int(takeWritten(reinterpret_cast<uint8_t*>(bytes.data()), 4096)));
        return bytes;
    }
};

// A device-interface broadcast record of the HID class as Windows lays it out.
inline QByteArray record(const QString& name)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(28 + 2 * (name.size() + 1)) << quint32(5) << quint32(0);
    out << quint32(0x4D1E55B2) << quint16(0xF16F) << quint16(0x11CF);
    for (quint8 b : { 0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30 })
        out << b;
    for (const QChar c : name)
        out << quint16(c.unicode());
    out << quint16(0);
    return bytes;
}

#endif // FAKECONTROL_H

#ifndef HIDUARTLIBRARY_H
#define HIDUARTLIBRARY_H

#include <QString>
#include <QtGlobal>

// The bridge chip vendor's C interface uses Windows' fixed-size types on every platform. They are
// spelled with Qt's sized integers: `unsigned long` would be 64 bits on Linux and corrupt every
// out-parameter.
namespace HidUart {
using Dword = quint32;
using Word = quint16;
using Byte = quint8;
using Bool = qint32;
using Status = qint32;
using Device = void*;

constexpr Status Success = 0;
// A read that got fewer bytes than asked for within its time-out; with a time-out of 0 ms every
// short read ends so, and is no failure.
constexpr Status ReadTimedOut = 0x12;
}

#if defined(Q_OS_WIN)
#define HIDUART_CALL __stdcall
#else
#define HIDUART_CALL
#endif

// The 28 entry points of the vendor's HID-to-UART library, bound by name at run time.
class HidUartLibrary
{
public:
    using Dword = HidUart::Dword;
    using Word = HidUart::Word;
    using Byte = HidUart::Byte;
    using Bool = HidUart::Bool;
    using Status = HidUart::Status;
    using Device = HidUart::Device;

    // String options of GetString.
    enum StringOption : Dword { PathString = 3, SerialString = 4 };

    // Loads the file and resolves every entry point. A file that does not load or lacks any name
    // leaves the whole binding empty, so no null entry point can ever be called. The library is
    // never unloaded.
    bool load(const QString& libraryFile);
    void clear();
    bool isBound() const { return bound; }

    Status(HIDUART_CALL* GetNumDevices)(Dword* numDevices, Word vid, Word pid) = nullptr;
    Status(HIDUART_CALL* GetString)(
        Dword deviceNum, Word vid, Word pid, char* deviceString, Dword options)
        = nullptr;
    Status(HIDUART_CALL* GetOpenedString)(Device device, char* deviceString, Dword options)
        = nullptr;
    Status(HIDUART_CALL* GetIndexedString)(
        Dword deviceNum, Word vid, Word pid, Dword stringIndex, char* deviceString)
        = nullptr;
    Status(HIDUART_CALL* GetAttributes)(Dword deviceNum, Word vid, Word pid, Word* deviceVid,
        Word* devicePid, Word* deviceReleaseNumber)
        = nullptr;
    Status(HIDUART_CALL* GetOpenedAttributes)(
        Device device, Word* deviceVid, Word* devicePid, Word* deviceReleaseNumber)
        = nullptr;
    Status(HIDUART_CALL* Open)(Device* device, Dword deviceNum, Word vid, Word pid) = nullptr;
    Status(HIDUART_CALL* Close)(Device device) = nullptr;
    Status(HIDUART_CALL* IsOpened)(Device device, Bool* opened) = nullptr;
    Status(HIDUART_CALL* SetUartEnable)(Device device, Bool enable) = nullptr;
    Status(HIDUART_CALL* GetUartEnable)(Device device, Bool* enable) = nullptr;
    Status(HIDUART_CALL* Read)(
        Device device, Byte* buffer, Dword numBytesToRead, Dword* numBytesRead)
        = nullptr;
    Status(HIDUART_CALL* Write)(
        Device device, Byte* buffer, Dword numBytesToWrite, Dword* numBytesWritten)
        = nullptr;
    Status(HIDUART_CALL* FlushBuffers)(Device device, Bool flushTransmit, Bool flushReceive)
        = nullptr;
    Status(HIDUART_CALL* SetTimeouts)(Device device, Dword readTimeout, Dword writeTimeout)
        = nullptr;
    Status(HIDUART_CALL* GetTimeouts)(Device device, Dword* readTimeout, Dword* writeTimeout)
        = nullptr;
    Status(HIDUART_CALL* GetUartStatus)(Device device, Word* transmitFifoSize,
        Word* receiveFifoSize, Byte* errorStatus, Byte* lineBreakStatus)
        = nullptr;
    Status(HIDUART_CALL* SetUartConfig)(
        Device device, Dword baudRate, Byte dataBits, Byte parity, Byte stopBits, Byte flowControl)
        = nullptr;
    Status(HIDUART_CALL* GetUartConfig)(Device device, Dword* baudRate, Byte* dataBits,
        Byte* parity, Byte* stopBits, Byte* flowControl)
        = nullptr;
    Status(HIDUART_CALL* StartBreak)(Device device, Byte duration) = nullptr;
    Status(HIDUART_CALL* StopBreak)(Device device) = nullptr;
    Status(HIDUART_CALL* Reset)(Device device) = nullptr;
    Status(HIDUART_CALL* ReadLatch)(Device device, Word* latchValue) = nullptr;
    Status(HIDUART_CALL* WriteLatch)(Device device, Word latchValue, Word latchMask) = nullptr;
    Status(HIDUART_CALL* GetPartNumber_T)(Device device, Byte* partNumber, Byte* version) = nullptr;
    Status(HIDUART_CALL* GetLibraryVersion)(Byte* major, Byte* minor, Bool* release) = nullptr;
    Status(HIDUART_CALL* GetHidLibraryVersion)(Byte* major, Byte* minor, Bool* release) = nullptr;
    Status(HIDUART_CALL* GetHidGuid)(void* guid) = nullptr;

private:
    bool bound = false;
};

#endif // HIDUARTLIBRARY_H

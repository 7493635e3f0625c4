// A substitute for the bridge chip vendor's HID-to-UART library: the same C entry points with
// Windows' fixed-size types, backed by scripted devices in memory.

#include "fakehiduart.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#define FAKE_CALL __stdcall
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#define FAKE_CALL
#endif

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t BOOL;
typedef int32_t HID_UART_STATUS;
typedef void* HID_UART_DEVICE;

namespace {

const WORD bridgeVid = 0x10C4;
const WORD bridgePid = 0xEA80;

// Status codes of our own choosing, only 0 (success) being fixed; the plug-in knows the read
// time-out (HidUart::ReadTimedOut) as no failure.
const HID_UART_STATUS success = 0x00;
const HID_UART_STATUS deviceNotFound = 0x01;
const HID_UART_STATUS invalidHandle = 0x02;
const HID_UART_STATUS invalidParameter = 0x06;
const HID_UART_STATUS readTimedOut = 0x12;

struct Device
{
    std::string serial;
    std::string path;
};

struct Handle
{
    DWORD deviceNum;
};

struct State
{
    std::mutex lock;
    std::vector<Device> devices;
    std::set<Handle*> handles;
    std::deque<BYTE> received;
    std::vector<BYTE> written;
    std::map<std::string, HID_UART_STATUS> statuses;
    std::map<std::string, int32_t> calls;
    bool nullHandle = false;
    DWORD lastOpenNum = 0xFFFFFFFF;
    WORD lastOpenVid = 0, lastOpenPid = 0;
    DWORD baudRate = 0;
    BYTE dataBits = 0xFF, parity = 0xFF, stopBits = 0xFF, flowControl = 0xFF;
    DWORD readTimeout = 0xFFFFFFFF, writeTimeout = 0xFFFFFFFF;
    BOOL flushTransmit = -1, flushReceive = -1;
    DWORD lastReadRequest = 0;
    DWORD reportedCount = 0;
};

State& state()
{
    static State s;
    return s;
}

// Counts the call and answers the scripted status, if any; must hold the lock.
HID_UART_STATUS enter(State& s, const char* entry)
{
    ++s.calls[entry];
    const auto it = s.statuses.find(entry);
    return it == s.statuses.end() ? success : it->second;
}

bool valid(State& s, HID_UART_DEVICE device)
{
    return s.handles.count(static_cast<Handle*>(device)) != 0;
}

} // namespace

#define ENTER(name)                                                                                \
    State& s = state();                                                                            \
    std::lock_guard<std::mutex> guard(s.lock);                                                     \
    const HID_UART_STATUS scripted = enter(s, name);                                               \
    if (scripted != success)                                                                       \
        return scripted;

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetNumDevices(DWORD* numDevices, WORD vid, WORD pid)
{
    ENTER("HidUart_GetNumDevices")
    if (!numDevices)
        return invalidParameter;
    *numDevices = (vid == bridgeVid && pid == bridgePid) ? DWORD(s.devices.size()) : 0;
    if (s.reportedCount != 0)
        *numDevices = s.reportedCount;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetString(
    DWORD deviceNum, WORD vid, WORD pid, char* deviceString, DWORD options)
{
    ENTER("HidUart_GetString")
    if (vid != bridgeVid || pid != bridgePid || deviceNum >= s.devices.size())
        return deviceNotFound;
    if (!deviceString)
        return invalidParameter;
    // The caller's buffer is 260 bytes for the serial and 512 for the path.
    const std::string* text = nullptr;
    size_t capacity = 0;
    if (options == 4) {
        text = &s.devices[deviceNum].serial;
        capacity = 260;
    } else if (options == 3) {
        text = &s.devices[deviceNum].path;
        capacity = 512;
    } else {
        return invalidParameter;
    }
    const size_t n = std::min(text->size(), capacity - 1);
    std::memcpy(deviceString, text->data(), n);
    deviceString[n] = '\0';
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetOpenedString(
    HID_UART_DEVICE device, char* deviceString, DWORD options)
{
    ENTER("HidUart_GetOpenedString")
    if (!valid(s, device))
        return invalidHandle;
    const DWORD number = static_cast<Handle*>(device)->deviceNum;
    if (number >= s.devices.size())
        return deviceNotFound;
    const Device& d = s.devices[number];
    const std::string& text = options == 4 ? d.serial : d.path;
    std::strcpy(deviceString, text.c_str());
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetIndexedString(
    DWORD deviceNum, WORD, WORD, DWORD, char* deviceString)
{
    ENTER("HidUart_GetIndexedString")
    if (deviceNum >= s.devices.size())
        return deviceNotFound;
    deviceString[0] = '\0';
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetAttributes(DWORD deviceNum, WORD vid, WORD pid,
    WORD* deviceVid, WORD* devicePid, WORD* deviceReleaseNumber)
{
    ENTER("HidUart_GetAttributes")
    if (vid != bridgeVid || pid != bridgePid || deviceNum >= s.devices.size())
        return deviceNotFound;
    *deviceVid = bridgeVid;
    *devicePid = bridgePid;
    *deviceReleaseNumber = 0x0100;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetOpenedAttributes(
    HID_UART_DEVICE device, WORD* deviceVid, WORD* devicePid, WORD* deviceReleaseNumber)
{
    ENTER("HidUart_GetOpenedAttributes")
    if (!valid(s, device))
        return invalidHandle;
    *deviceVid = bridgeVid;
    *devicePid = bridgePid;
    *deviceReleaseNumber = 0x0100;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_Open(
    HID_UART_DEVICE* device, DWORD deviceNum, WORD vid, WORD pid)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const HID_UART_STATUS scripted = enter(s, "HidUart_Open");
    s.lastOpenNum = deviceNum;
    s.lastOpenVid = vid;
    s.lastOpenPid = pid;
    if (!device)
        return invalidParameter;
    *device = nullptr;
    if (scripted != success)
        return scripted;
    if (vid != bridgeVid || pid != bridgePid || deviceNum >= s.devices.size())
        return deviceNotFound;
    if (s.nullHandle)
        return success;
    Handle* handle = new Handle { deviceNum };
    s.handles.insert(handle);
    *device = handle;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_Close(HID_UART_DEVICE device)
{
    ENTER("HidUart_Close")
    if (!valid(s, device))
        return invalidHandle;
    s.handles.erase(static_cast<Handle*>(device));
    delete static_cast<Handle*>(device);
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_IsOpened(HID_UART_DEVICE device, BOOL* opened)
{
    ENTER("HidUart_IsOpened")
    *opened = valid(s, device) ? 1 : 0;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_SetUartEnable(HID_UART_DEVICE device, BOOL)
{
    ENTER("HidUart_SetUartEnable")
    return valid(s, device) ? success : invalidHandle;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetUartEnable(HID_UART_DEVICE device, BOOL* enable)
{
    ENTER("HidUart_GetUartEnable")
    if (!valid(s, device))
        return invalidHandle;
    *enable = 1;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_Read(
    HID_UART_DEVICE device, BYTE* buffer, DWORD numBytesToRead, DWORD* numBytesRead)
{
    ENTER("HidUart_Read")
    if (!valid(s, device))
        return invalidHandle;
    s.lastReadRequest = numBytesToRead;
    const DWORD n = std::min<DWORD>(numBytesToRead, DWORD(s.received.size()));
    std::copy(s.received.begin(), s.received.begin() + n, buffer);
    s.received.erase(s.received.begin(), s.received.begin() + n);
    *numBytesRead = n;
    // Like a device with a time-out: fewer bytes than asked for come with a time-out status.
    return n < numBytesToRead ? readTimedOut : success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_Write(
    HID_UART_DEVICE device, BYTE* buffer, DWORD numBytesToWrite, DWORD* numBytesWritten)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const HID_UART_STATUS scripted = enter(s, "HidUart_Write");
    if (!valid(s, device))
        return invalidHandle;
    *numBytesWritten = 0;
    if (scripted != success)
        return scripted;
    s.written.insert(s.written.end(), buffer, buffer + numBytesToWrite);
    *numBytesWritten = numBytesToWrite;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_FlushBuffers(
    HID_UART_DEVICE device, BOOL flushTransmit, BOOL flushReceive)
{
    ENTER("HidUart_FlushBuffers")
    if (!valid(s, device))
        return invalidHandle;
    s.flushTransmit = flushTransmit;
    s.flushReceive = flushReceive;
    if (flushReceive)
        s.received.clear();
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_SetTimeouts(
    HID_UART_DEVICE device, DWORD readTimeout, DWORD writeTimeout)
{
    ENTER("HidUart_SetTimeouts")
    if (!valid(s, device))
        return invalidHandle;
    s.readTimeout = readTimeout;
    s.writeTimeout = writeTimeout;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetTimeouts(
    HID_UART_DEVICE device, DWORD* readTimeout, DWORD* writeTimeout)
{
    ENTER("HidUart_GetTimeouts")
    if (!valid(s, device))
        return invalidHandle;
    *readTimeout = s.readTimeout;
    *writeTimeout = s.writeTimeout;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetUartStatus(HID_UART_DEVICE device,
    WORD* transmitFifoSize, WORD* receiveFifoSize, BYTE* errorStatus, BYTE* lineBreakStatus)
{
    ENTER("HidUart_GetUartStatus")
    if (!valid(s, device))
        return invalidHandle;
    *transmitFifoSize = 0;
    *receiveFifoSize = WORD(std::min<size_t>(s.received.size(), 0xFFFF));
    *errorStatus = 0;
    *lineBreakStatus = 0;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_SetUartConfig(HID_UART_DEVICE device, DWORD baudRate,
    BYTE dataBits, BYTE parity, BYTE stopBits, BYTE flowControl)
{
    ENTER("HidUart_SetUartConfig")
    if (!valid(s, device))
        return invalidHandle;
    s.baudRate = baudRate;
    s.dataBits = dataBits;
    s.parity = parity;
    s.stopBits = stopBits;
    s.flowControl = flowControl;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetUartConfig(HID_UART_DEVICE device, DWORD* baudRate,
    BYTE* dataBits, BYTE* parity, BYTE* stopBits, BYTE* flowControl)
{
    ENTER("HidUart_GetUartConfig")
    if (!valid(s, device))
        return invalidHandle;
    *baudRate = s.baudRate;
    *dataBits = s.dataBits;
    *parity = s.parity;
    *stopBits = s.stopBits;
    *flowControl = s.flowControl;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_StartBreak(HID_UART_DEVICE device, BYTE)
{
    ENTER("HidUart_StartBreak")
    return valid(s, device) ? success : invalidHandle;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_StopBreak(HID_UART_DEVICE device)
{
    ENTER("HidUart_StopBreak")
    return valid(s, device) ? success : invalidHandle;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_Reset(HID_UART_DEVICE device)
{
    ENTER("HidUart_Reset")
    return valid(s, device) ? success : invalidHandle;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_ReadLatch(HID_UART_DEVICE device, WORD* latchValue)
{
    ENTER("HidUart_ReadLatch")
    if (!valid(s, device))
        return invalidHandle;
    *latchValue = 0;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_WriteLatch(HID_UART_DEVICE device, WORD, WORD)
{
    ENTER("HidUart_WriteLatch")
    return valid(s, device) ? success : invalidHandle;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetPartNumber_T(
    HID_UART_DEVICE device, BYTE* partNumber, BYTE* version)
{
    ENTER("HidUart_GetPartNumber_T")
    if (!valid(s, device))
        return invalidHandle;
    *partNumber = 0;
    *version = 1;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetLibraryVersion(
    BYTE* major, BYTE* minor, BOOL* release)
{
    ENTER("HidUart_GetLibraryVersion")
    *major = 1;
    *minor = 0;
    *release = 0;
    return success;
}

FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetHidLibraryVersion(
    BYTE* major, BYTE* minor, BOOL* release)
{
    ENTER("HidUart_GetHidLibraryVersion")
    *major = 1;
    *minor = 0;
    *release = 0;
    return success;
}

// Left out of the partial build, which stands for a library that lacks one name.
#if !defined(FAKEHIDUART_PARTIAL)
FAKE_EXPORT HID_UART_STATUS FAKE_CALL HidUart_GetHidGuid(void* guid)
{
    ENTER("HidUart_GetHidGuid")
    static const BYTE hidClass[16] = { 0xB2, 0x55, 0x1E, 0x4D, 0x6F, 0xF1, 0xCF, 0x11, 0x88, 0xCB,
        0x00, 0x11, 0x11, 0x00, 0x00, 0x30 };
    std::memcpy(guid, hidClass, sizeof hidClass);
    return success;
}
#endif

FAKE_EXPORT void FakeHid_Reset()
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    for (Handle* handle : s.handles)
        delete handle;
    s.handles.clear();
    s.devices.clear();
    s.received.clear();
    s.written.clear();
    s.statuses.clear();
    s.calls.clear();
    s.nullHandle = false;
    s.lastOpenNum = 0xFFFFFFFF;
    s.lastOpenVid = s.lastOpenPid = 0;
    s.baudRate = 0;
    s.dataBits = s.parity = s.stopBits = s.flowControl = 0xFF;
    s.readTimeout = s.writeTimeout = 0xFFFFFFFF;
    s.flushTransmit = s.flushReceive = -1;
    s.lastReadRequest = 0;
    s.reportedCount = 0;
}

FAKE_EXPORT void FakeHid_AddDevice(const char* serial, const char* path)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.devices.push_back(Device { serial ? serial : "", path ? path : "" });
}

FAKE_EXPORT void FakeHid_RemoveDevice(const char* serial)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const std::string key = serial ? serial : "";
    s.devices.erase(std::remove_if(s.devices.begin(), s.devices.end(),
                        [&key](const Device& d) { return d.serial == key; }),
        s.devices.end());
}

FAKE_EXPORT void FakeHid_QueueRead(const uint8_t* data, uint32_t size)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.received.insert(s.received.end(), data, data + size);
}

FAKE_EXPORT uint32_t FakeHid_PendingRead()
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return uint32_t(s.received.size());
}

FAKE_EXPORT uint32_t FakeHid_TakeWritten(uint8_t* data, uint32_t capacity)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const uint32_t n = std::min<uint32_t>(capacity, uint32_t(s.written.size()));
    std::copy(s.written.begin(), s.written.begin() + n, data);
    s.written.clear();
    return n;
}

FAKE_EXPORT void FakeHid_SetStatus(const char* entry, int32_t status)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (status == success)
        s.statuses.erase(entry);
    else
        s.statuses[entry] = status;
}

FAKE_EXPORT void FakeHid_SetNullHandle(int32_t nullHandle)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.nullHandle = nullHandle != 0;
}

FAKE_EXPORT int32_t FakeHid_CallCount(const char* entry)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const auto it = s.calls.find(entry);
    return it == s.calls.end() ? 0 : it->second;
}

FAKE_EXPORT int32_t FakeHid_OpenHandles()
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return int32_t(s.handles.size());
}

FAKE_EXPORT void FakeHid_LastOpen(uint32_t* deviceNum, uint16_t* vid, uint16_t* pid)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    *deviceNum = s.lastOpenNum;
    *vid = s.lastOpenVid;
    *pid = s.lastOpenPid;
}

FAKE_EXPORT void FakeHid_LastUartConfig(
    uint32_t* baudRate, uint8_t* dataBits, uint8_t* parity, uint8_t* stopBits, uint8_t* flowControl)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    *baudRate = s.baudRate;
    *dataBits = s.dataBits;
    *parity = s.parity;
    *stopBits = s.stopBits;
    *flowControl = s.flowControl;
}

FAKE_EXPORT void FakeHid_LastTimeouts(uint32_t* readTimeout, uint32_t* writeTimeout)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    *readTimeout = s.readTimeout;
    *writeTimeout = s.writeTimeout;
}

FAKE_EXPORT void FakeHid_LastFlush(int32_t* transmit, int32_t* receive)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    *transmit = s.flushTransmit;
    *receive = s.flushReceive;
}

FAKE_EXPORT void FakeHid_SetReportedCount(uint32_t count)
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.reportedCount = count;
}

FAKE_EXPORT uint32_t FakeHid_LastReadRequest()
{
    State& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.lastReadRequest;
}

#ifndef FAKEHIDUART_H
#define FAKEHIDUART_H

// Test-control entry points of the substitute HID-to-UART library. Tests resolve them by name
// from the same file the plug-in loads, so both talk to one instance of the library's state.

#include <cstdint>

extern "C" {
// Forget all devices, data, statuses and counters; close every handle.
typedef void (*FakeHid_ResetFn)();
// A bridge device present in the enumeration, in order. Either string may be empty.
typedef void (*FakeHid_AddDeviceFn)(const char* serial, const char* path);
// The device unplugged: gone from the enumeration; its handles stay until closed.
typedef void (*FakeHid_RemoveDeviceFn)(const char* serial);
// Bytes that the open device has received and that HidUart_Read hands out.
typedef void (*FakeHid_QueueReadFn)(const uint8_t* data, uint32_t size);
typedef uint32_t (*FakeHid_PendingReadFn)();
// Copies out (at most capacity) and forgets what was written to the device.
typedef uint32_t (*FakeHid_TakeWrittenFn)(uint8_t* data, uint32_t capacity);
// The status a named entry point ("HidUart_Open", ...) returns from now on; 0 restores success.
typedef void (*FakeHid_SetStatusFn)(const char* entry, int32_t status);
// Make HidUart_Open report success without a handle.
typedef void (*FakeHid_SetNullHandleFn)(int32_t nullHandle);
typedef int32_t (*FakeHid_CallCountFn)(const char* entry);
typedef int32_t (*FakeHid_OpenHandlesFn)();
typedef void (*FakeHid_LastOpenFn)(uint32_t* deviceNum, uint16_t* vid, uint16_t* pid);
typedef void (*FakeHid_LastUartConfigFn)(uint32_t* baudRate, uint8_t* dataBits, uint8_t* parity,
    uint8_t* stopBits, uint8_t* flowControl);
typedef void (*FakeHid_LastTimeoutsFn)(uint32_t* readTimeout, uint32_t* writeTimeout);
typedef void (*FakeHid_LastFlushFn)(int32_t* transmit, int32_t* receive);
typedef uint32_t (*FakeHid_LastReadRequestFn)();
// A hostile library: the device count HidUart_GetNumDevices reports from now on, whatever is
// attached; 0 reports the devices as they are.
typedef void (*FakeHid_SetReportedCountFn)(uint32_t count);
}

#endif // FAKEHIDUART_H

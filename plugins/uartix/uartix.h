#ifndef UARTIX_H
#define UARTIX_H

#include "deviceentry.h"
#include "hiduartlibrary.h"
#include "serialdev.h"
#include "serialdeviceinf.h"
#include "uartixinf.h"

#include <QList>
#include <QMutex>

class USBNotification;

// The plug-in's root object: a byte-stream device on a USB HID-to-UART bridge, through the bridge
// chip vendor's library loaded at run time.
class Uartix : public SerialDev, public SerialDeviceInf, public UartixInf
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.zq.UartixInf")
    Q_INTERFACES(SerialDeviceInf UartixInf)

public:
    static constexpr quint16 BridgeVid = 0x10C4;
    static constexpr quint16 BridgePid = 0xEA80;
    static constexpr int ReadChunk = 1024;
    static constexpr int NotOpenStatus = 3;
    // More bridges than anyone attaches: a count beyond it is a library fault, not a list to walk.
    static constexpr HidUart::Dword MaxDevices = 128;

    explicit Uartix(QObject* parent = nullptr);
    ~Uartix() override;

    bool open() override;
    void close() override;
    int write(const QByteArray& data) override;
    Q_INVOKABLE void readData() override;
    bool isOpened() const override;
    QObject* object() override { return this; }

    void init(const QString& libraryFile) override;
    bool refreshDevices() override;
    int deviceCount() override;
    void setUartConfig(const int& baudRate, const uchar& dataBits, const uchar& stopBits,
        const uchar& parity) override;

    // String-based (dis)connection of this object's signals, for hosts that only know the names;
    // invokable, since a host cannot link against the plug-in's class.
    Q_INVOKABLE virtual bool connectSignal(
        const char* signal, const QObject* receiver, const char* method, bool connect);

signals:
    void usbRefreshed(int usbcnt);
    void removed();
    void arrival();

public slots:
    void slotUsbRemoved();
    void slotUsbArrival();

private:
    friend class USBNotification;

    void clearDevices();
    void stopReadThread();
    // Closes a handle; one the library failed to close is kept and tried again later.
    void closeHandle(HidUart::Device handle);
    void closeUnclosed();

    HidUart::Device device = nullptr;
    QString libraryFile;
    QList<DeviceEntry*> devices;
    DeviceEntry* currentDevice = nullptr;
    QMutex readLock;
    QByteArray readBuffer;
    // A read signal is being delivered; a receiver's nested event loop must not read meanwhile.
    bool delivering = false;
    QList<HidUart::Device> unclosed;
    USBNotification* notification = nullptr;
    int baudRate = 9600;
    uchar dataBits = 3; // eight data bits
    uchar parity = 0; // none
    uchar stopBits = 0; // one stop bit
    uchar flowControl = 0; // none; nothing changes it
    HidUartLibrary library;
};

#endif // UARTIX_H

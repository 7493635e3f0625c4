#ifndef UARTIXINF_H
#define UARTIXINF_H

#include <QString>
#include <QtPlugin>

// What is particular to the HID-to-UART bridge: the vendor library, enumeration, UART settings.
class UartixInf
{
public:
    virtual void init(const QString& libraryFile) = 0;
    virtual bool refreshDevices() = 0;
    virtual int deviceCount() = 0;
    // The values are the vendor library's codes. Stop bits come before parity here, unlike the
    // library's own argument order.
    virtual void setUartConfig(
        const int& baudRate, const uchar& dataBits, const uchar& stopBits, const uchar& parity)
        = 0;
};

#define UartixInf_iid "com.zq.UartixInf"
Q_DECLARE_INTERFACE(UartixInf, UartixInf_iid)

#endif // UARTIXINF_H

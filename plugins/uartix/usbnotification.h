#ifndef USBNOTIFICATION_H
#define USBNOTIFICATION_H

#include <QWidget>

class Uartix;
class QSocketNotifier;
struct udev;
struct udev_monitor;

// A hidden top-level window that hears HID devices come and go and tells the bridge object about
// it: removed() when the open device is unplugged, arrival() when a HID device is plugged in. After
// either it makes the owner enumerate the bridge devices again.
class USBNotification : public QWidget
{
    Q_OBJECT

public:
    explicit USBNotification(Uartix* owner);
    ~USBNotification() override;

    // One device-change message, laid out as Windows sends it; every platform's watcher ends here.
    // Returns whether the message counts as handled.
    Q_INVOKABLE bool handleDeviceChange(uint wParam, const QByteArray& broadcast);

signals:
    void removed();
    void arrival();

protected:
#if defined(Q_OS_WIN)
    bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;
#endif

private:
    void registerNotification();
    void unregisterNotification();

    void* notificationHandle = nullptr; // HDEVNOTIFY on Windows, the udev monitor on Linux
    Uartix* const owner;
#if defined(Q_OS_LINUX)
    void receiveUdevEvent();

    struct udev* udevContext = nullptr;
    QSocketNotifier* udevNotifier = nullptr;
#endif
};

#endif // USBNOTIFICATION_H

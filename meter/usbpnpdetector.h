#pragma once

#include "devicechange.h"
#include "hiddeviceinfo.h"

#include <QObject>
#include <QVector>

#include <memory>

#ifdef Q_OS_WIN
#include <qt_windows.h>
class RegistrationWidget;
#else
class QSocketNotifier;
struct udev;
struct udev_monitor;
#endif

// Reports the arrival and removal of serial ports. On Windows it listens to device-change
// messages through an invisible native window; on Linux it watches udev's tty events.
class USBPNPDetector : public QObject
{
    Q_OBJECT

public:
#ifdef Q_OS_WIN
    USBPNPDetector(const GUID* classes, int count, QObject* parent = nullptr);
#else
    explicit USBPNPDetector(QObject* parent = nullptr);
#endif
    ~USBPNPDetector() override;

    // Whether a source of events is attached (false where udev cannot be monitored).
    bool isMonitoring() const;

signals:
    void deviceDiscovered(HIDDeviceInfo info);
    void deviceRemoved(HIDDeviceInfo info);

private:
    // Turns a decoded change into the matching signal; portable so both platforms share it.
    void report(const DeviceChange& change);

#ifdef Q_OS_WIN
private slots:
    LRESULT onDeviceChanged(WPARAM wParam, LPARAM lParam);

private:
    RegistrationWidget* window = nullptr;
    QVector<HDEVNOTIFY> notificationHandles;
    std::unique_ptr<GUID[]> classList;
    int classCount = 0;
#else
    void onUdevReadable();

    udev* udevContext = nullptr;
    udev_monitor* monitor = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
#endif
};

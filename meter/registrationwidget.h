#pragma once

#include <QWindow>

#include <qt_windows.h>

// An invisible native window that receives the device-change messages Windows broadcasts.
class RegistrationWidget : public QWindow
{
    Q_OBJECT

public:
    explicit RegistrationWidget(QWindow* parent = nullptr);

signals:
    void deviceChanged(WPARAM wParam, LPARAM lParam);

protected:
    bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;
};

#include "registrationwidget.h"

#include <dbt.h>

RegistrationWidget::RegistrationWidget(QWindow* parent)
    : QWindow(parent)
{ }

bool RegistrationWidget::nativeEvent(const QByteArray& eventType, void* message, long* result)
{
    Q_UNUSED(eventType)
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_DEVICECHANGE)
        return false;
    emit deviceChanged(msg->wParam, msg->lParam);
    *result = TRUE;
    return true;
}

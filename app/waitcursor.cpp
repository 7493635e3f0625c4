#include "waitcursor.h"

#include <QApplication>

WaitCursor::WaitCursor(const QCursor& windowCursor)
    : restored(windowCursor)
{
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    // Let the cursor change show before the work starts.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

WaitCursor::~WaitCursor()
{
    QApplication::restoreOverrideCursor();
    if (QApplication::overrideCursor())
        QApplication::changeOverrideCursor(restored);
    else
        QApplication::setOverrideCursor(restored);
}

#include "readthread.h"

#include "uartix.h"

ReadThread::ReadThread(Uartix* target, QObject* parent)
    : QThread(parent)
    , target(target)
{ }

void ReadThread::requestStop()
{
    QMutexLocker locker(&targetLock);
    stopRequested = true;
}

void ReadThread::run()
{
    for (;;) {
        {
            QMutexLocker locker(&targetLock);
            if (stopRequested)
                return;
            // Automatic connection: the call is queued into the target's thread.
            if (target)
                QMetaObject::invokeMethod(target, "readData", Qt::AutoConnection);
        }
        msleep(100);
    }
}

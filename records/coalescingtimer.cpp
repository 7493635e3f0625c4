#include "coalescingtimer.h"

#include <QTimerEvent>

CoalescingTimer::CoalescingTimer(std::function<void()> work, QObject* parent, int intervalMs)
    : QObject(parent)
    , work(std::move(work))
    , intervalMs(intervalMs)
{ }

void CoalescingTimer::request()
{
    if (timer.isActive()) {
        pending = true;
        return;
    }
    timer.start(intervalMs, Qt::PreciseTimer, this);
    work();
}

void CoalescingTimer::flush()
{
    if (!pending)
        return;
    pending = false;
    work();
}

void CoalescingTimer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    // The interval after a run stays closed; the timer stops only after one without requests.
    if (pending)
        flush();
    else
        timer.stop();
}

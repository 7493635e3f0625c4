#pragma once

#include <QBasicTimer>
#include <QObject>

#include <functional>

// Runs a piece of view work (a repaint, a scroll) at most once per interval however often it is
// requested: a request after a quiet interval runs at once, the requests within the interval that
// follows run together at its end. The work reads the state when it runs, so it always shows the
// latest one.
class CoalescingTimer : public QObject
{
    Q_OBJECT

public:
    // Ten times a second: fluid to the eye, and a small fixed cost at any reading rate.
    static constexpr int DefaultIntervalMs = 100;

    explicit CoalescingTimer(
        std::function<void()> work, QObject* parent = nullptr, int intervalMs = DefaultIntervalMs);

    void request();
    // Whether a request waits for the end of the interval.
    bool isPending() const { return pending; }
    // Whether a request made now would wait for the end of the interval.
    bool wouldWait() const { return timer.isActive(); }
    // Runs a waiting request now (tests, and views that must be current at once).
    void flush();
    // Forgets a waiting request, for work that has been done another way.
    void cancel() { pending = false; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    std::function<void()> work;
    int intervalMs;
    QBasicTimer timer;
    bool pending = false;
};

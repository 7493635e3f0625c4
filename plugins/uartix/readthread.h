#ifndef READTHREAD_H
#define READTHREAD_H

#include <QMutex>
#include <QThread>

#include <atomic>

class Uartix;

// Paces the reading: every 100 ms it asks its target, on the target's own thread, to read once.
// It never touches the device itself.
class ReadThread : public QThread
{
    Q_OBJECT

public:
    explicit ReadThread(Uartix* target, QObject* parent = nullptr);

    // Once this returns the thread no longer touches its target, even if it has not finished yet,
    // so the target may go away while a stuck thread is still winding down.
    void requestStop();

    // Cleared on construction, not in run(): a stop requested before the new thread got to run
    // must not be wiped out.
    std::atomic<bool> stopRequested { false };
    Uartix* const target;

protected:
    void run() override;

private:
    QMutex targetLock; // held while a read request is posted to target
};

#endif // READTHREAD_H

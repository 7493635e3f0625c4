#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the event loop, where ending cleanly is safe
// (a signal handler itself may do next to nothing).
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

    // Whether the handlers are in place.
    bool isWatching() const;

signals:
    void signalled(int signalNumber);

private:
    void readSignal();

    int fds[2] = { -1, -1 };
    std::unique_ptr<QSocketNotifier> notifier;
};

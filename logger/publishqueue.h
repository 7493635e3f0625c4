#pragma once

#include <QByteArray>

#include <deque>

// Messages waiting for the broker, oldest first. It holds at most its capacity: a new message
// beyond that pushes out the oldest, and the ones pushed out are counted, so that an outage that
// outlasts the memory set aside for it costs the oldest readings and says how many.
class PublishQueue
{
public:
    static constexpr int DefaultCapacity = 100000;

    explicit PublishQueue(int capacity = DefaultCapacity);

    void push(const QByteArray& message);
    // Messages older than all queued ones (sent once, never confirmed) go back in front.
    void pushFront(const std::deque<QByteArray>& older);
    QByteArray takeFront();

    bool isEmpty() const { return messages.empty(); }
    int size() const { return int(messages.size()); }
    int capacity() const { return limit; }
    qint64 dropped() const { return droppedCount; }

private:
    void trim();

    std::deque<QByteArray> messages;
    int limit;
    qint64 droppedCount = 0;
};

#include "publishqueue.h"

#include <QtGlobal>

PublishQueue::PublishQueue(int capacity)
    : limit(qMax(1, capacity))
{ }

void PublishQueue::push(const QByteArray& message)
{
    messages.push_back(message);
    trim();
}

void PublishQueue::pushFront(const std::deque<QByteArray>& older)
{
    messages.insert(messages.begin(), older.begin(), older.end());
    trim();
}

QByteArray PublishQueue::takeFront()
{
    if (messages.empty())
        return QByteArray();
    QByteArray message = std::move(messages.front());
    messages.pop_front();
    return message;
}

void PublishQueue::trim()
{
    while (int(messages.size()) > limit) {
        messages.pop_front();
        ++droppedCount;
    }
}

#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Fetches the reading rows of one item of a session file on a thread of its own, in chunks, so
// that the rows of a long session are read from the file while the caller already builds
// readings from the first ones. The fields come as SQLite packed them (see SessionReader).
class ReadingFetcher
{
public:
    struct Row
    {
        QVariant time;
        int offset = 0;
        QVariant value;
        QVariant text;
        QVariant extra;
        int storeIndex = 0;
        qint64 small = 0; // state, store flag, unit code, status flags, battery
        qint64 textIds = 0; // unit, band, detection; -1 when one is out of range
    };

    static const char* const query;

    ReadingFetcher(const QString& fileName, qint64 item);
    // Stops fetching and waits for the thread.
    ~ReadingFetcher();
    ReadingFetcher(const ReadingFetcher&) = delete;
    ReadingFetcher& operator=(const ReadingFetcher&) = delete;

    // The next rows, in order; false at the end or on a failure (then error() says why).
    bool next(QVector<Row>* rows);
    QString error() const;

private:
    void run(QString fileName, qint64 item);

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QVector<Row>> chunks;
    bool finished = false;
    bool stopping = false;
    QString failure;
    std::thread thread;
};

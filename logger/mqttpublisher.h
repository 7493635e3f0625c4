#pragma once

#include "publishqueue.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct mosquitto;
class QTimer;

// Publishes readings to an MQTT broker with libmosquitto: each on PREFIX/<meter id>/reading with
// QoS 1, the newest also retained on .../last; .../status holds "online" (retained) while the
// logger is connected and "offline" after it, from the logger or as the broker's last will.
// The network runs on a thread of its own inside libmosquitto's loop; the queue, the counts and
// every signal belong to the thread that made the object. Readings wait in a PublishQueue while
// the broker is away and go out in order when it is back.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        QString host;
        int port = 1883;
        QString clientId;
        QString username;
        QString password;
        bool hasPassword = false;
        QString tlsCa;
        QString topicPrefix;
        QString meterId;
        int queueCapacity = PublishQueue::DefaultCapacity;
    };

    // Messages handed to the library at a time; the rest wait in the queue, whose capacity and
    // count of dropped messages then cover everything not yet sent.
    static constexpr int Window = 20;
    // A message the library was given before the broker went away and that is still not
    // confirmed this long after the next connection is handed over again.
    static constexpr int ResendMs = 10000;
    static constexpr int KeepAliveSeconds = 20;

    explicit MqttPublisher(const Settings& settings, QObject* parent = nullptr);
    ~MqttPublisher() override;

    // Sets the client up and starts connecting in the background. False, with errorString(),
    // when the client cannot be set up at all (a TLS file libmosquitto refuses, no memory).
    bool start();
    QString errorString() const { return error; }

    void publish(const QByteArray& message);
    // Sends what is still queued for up to timeoutMs, publishes "offline" and disconnects;
    // finished() follows, at once when there is nothing to wait for.
    void finish(int timeoutMs);

    bool isConnected() const { return online; }
    qint64 published() const { return publishedCount; }
    int queued() const { return queue.size() + int(inFlight.size()); }
    qint64 dropped() const { return queue.dropped(); }
    QString topic(const QString& leaf) const;

signals:
    void connected();
    // The broker is out of reach (once per outage), with libmosquitto's or the system's reason.
    void unreachable(const QString& reason);
    void finished();

private:
    struct Sent
    {
        int mid;
        QByteArray message;
    };
    enum class Phase { Running, Draining, SayingOffline, Done };

    // libmosquitto's callbacks, on the network thread: they only post to this object's thread.
    static void onConnect(mosquitto* client, void* self, int rc);
    static void onDisconnect(mosquitto* client, void* self, int rc);
    static void onPublish(mosquitto* client, void* self, int mid);
    static QString describe(int rc);

    void run();
    void handleConnect(int rc);
    void handleDisconnect(const QString& reason);
    void handlePublished(int mid);
    void pump();
    int publishRaw(const QByteArray& topic, const QByteArray& payload, bool retain, int* mid);
    void requeueUnconfirmed();
    void windDown();
    void complete();
    void stopNetwork();

    Settings settings;
    QByteArray readingTopic;
    QByteArray lastTopic;
    QByteArray statusTopic;
    mosquitto* client = nullptr;
    QString error;

    PublishQueue queue;
    std::deque<Sent> inFlight;
    bool online = false;
    bool downReported = false;
    // After a reconnect the library sends again what was not confirmed; new messages wait until
    // those are, so that the broker gets every reading in order.
    bool resending = false;
    qint64 publishedCount = 0;
    QByteArray newest;
    bool lastDue = false;
    Phase phase = Phase::Running;
    int offlineMid = -1;
    QTimer* resendTimer;
    QTimer* finishTimer;

    std::thread network;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool networkDone = false;
};

#pragma once

#include "publishqueue.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <thread>

struct mosquitto;
class QSocketNotifier;
class QTimer;

// Publishes readings to an MQTT broker with libmosquitto: each on PREFIX/<meter id>/reading with
// QoS 1, the newest also retained on .../last (up to date within a quarter of a second); .../status
// holds "online" (retained) while the logger is connected and "offline" after it, from the logger
// or as the broker's last will. The connection is served from the event loop of the thread that
// made the object: a publish goes straight onto the socket, the broker's answers are read when the
// socket has them (confirmations of readings a few at a time). Only connecting (which may wait for
// a name server) runs on a short-lived thread of its own. Readings wait in a PublishQueue while the
// broker is away and go out in order when it is back.
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
    // How often the connection's keep-alive and retries are looked after between the broker's
    // answers.
    static constexpr int HousekeepingMs = 1000;
    // How long the broker's confirmations are left to gather while readings flow: well within
    // the time the window of messages in flight lasts at the meter's rate. They are read along
    // with the next reading published after that, or at twice that when none comes.
    static constexpr int AnswerBatchMs = 50;
    // .../last is brought up to date at most this often.
    static constexpr int LastIntervalMs = 250;

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

    // libmosquitto's callbacks, inside its calls on this thread: they only defer, so that the
    // handlers never run inside the library.
    static void onConnect(mosquitto* client, void* self, int rc);
    static void onDisconnect(mosquitto* client, void* self, int rc);
    static void onPublish(mosquitto* client, void* self, int mid);
    static QString describe(int rc);

    void defer(std::function<void()> handler);
    void drainDeferred();
    void connectToBroker();
    void connectAttemptDone(int rc, const QString& reason);
    void service();
    void answersArrived();
    void readGatheredAnswers();
    void watchSocket();
    void dropSocket();
    void updateWriteInterest();
    void scheduleReconnect();
    bool isLinked() const;
    void handleConnect(int rc);
    void handleDisconnect(const QString& reason);
    void handlePublished(int mid);
    void pump();
    int publishRaw(const QByteArray& topic, const QByteArray& payload, bool retain, int* mid);
    void publishLast();
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
    QTimer* housekeeping;
    QTimer* reconnectTimer;
    QTimer* answerTimer;
    QTimer* lastTimer;
    // Since the confirmations were last read, while they gather.
    QElapsedTimer gathering;

    // While a connection attempt runs, the client belongs to that thread alone.
    std::thread connector;
    bool everConnected = false;
    int attempts = 0;
    bool stopping = false;
    std::deque<std::function<void()>> deferred;
    bool inLibraryLoop = false;
    bool drainPosted = false;
    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
};

#include "mqttpublisher.h"

#include <QFile>
#include <QTimer>

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// After a connection attempt that libmosquitto gave up on, the next one follows this much later.
constexpr int RetryMs = 2000;

QByteArray utf8(const QString& text)
{
    return text.toUtf8();
}

// libmosquitto sets up its TLS and sockets once per process.
void initLibrary()
{
    struct Library
    {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
    };
    static Library library;
}

} // namespace

MqttPublisher::MqttPublisher(const Settings& settings, QObject* parent)
    : QObject(parent)
    , settings(settings)
    , readingTopic(utf8(topic(QStringLiteral("reading"))))
    , lastTopic(utf8(topic(QStringLiteral("last"))))
    , statusTopic(utf8(topic(QStringLiteral("status"))))
    , queue(settings.queueCapacity)
    , resendTimer(new QTimer(this))
    , finishTimer(new QTimer(this))
{
    resendTimer->setSingleShot(true);
    resendTimer->setInterval(ResendMs);
    connect(resendTimer, &QTimer::timeout, this, &MqttPublisher::requeueUnconfirmed);
    finishTimer->setSingleShot(true);
    connect(finishTimer, &QTimer::timeout, this, [this] {
        if (phase == Phase::Draining)
            windDown();
        else
            complete();
    });
}

MqttPublisher::~MqttPublisher()
{
    stopNetwork();
    if (client)
        mosquitto_destroy(client);
}

QString MqttPublisher::topic(const QString& leaf) const
{
    return settings.topicPrefix + QLatin1Char('/') + settings.meterId + QLatin1Char('/') + leaf;
}

bool MqttPublisher::start()
{
    initLibrary();
    const QByteArray id = utf8(settings.clientId);
    client = mosquitto_new(id.constData(), true, this);
    if (!client) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // The queue is filled on this thread while the network thread runs the loop.
    mosquitto_threaded_set(client, true);
    mosquitto_connect_callback_set(client, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(client, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(client, &MqttPublisher::onPublish);
    mosquitto_reconnect_delay_set(client, 1, 5, true);
    int rc = MOSQ_ERR_SUCCESS;
    if (!settings.username.isEmpty()) {
        const QByteArray user = utf8(settings.username);
        const QByteArray password = utf8(settings.password);
        rc = mosquitto_username_pw_set(
            client, user.constData(), settings.hasPassword ? password.constData() : nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS && !settings.tlsCa.isEmpty()) {
        const QByteArray ca = QFile::encodeName(settings.tlsCa);
        rc = mosquitto_tls_set(client, ca.constData(), nullptr, nullptr, nullptr, nullptr);
    }
    static const char offline[] = "offline";
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_will_set(
            client, statusTopic.constData(), int(sizeof offline - 1), offline, 1, true);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = describe(rc);
        return false;
    }
    network = std::thread(&MqttPublisher::run, this);
    return true;
}

void MqttPublisher::run()
{
    const QByteArray host = utf8(settings.host);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping)
                break;
        }
        int rc = mosquitto_connect_async(client, host.constData(), settings.port, KeepAliveSeconds);
        // The loop reconnects by itself after a lost connection; it returns only when told to
        // stop or after an error it treats as final, which may pass (a name server that was not
        // yet reachable, a broker that was restarted with another certificate).
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_loop_forever(client, 1000, 1);
        const QString reason
            = rc == MOSQ_ERR_SUCCESS ? QStringLiteral("the connection ended") : describe(rc);
        std::unique_lock<std::mutex> lock(mutex);
        if (stopping)
            break;
        QMetaObject::invokeMethod(
            this, [this, reason] { handleDisconnect(reason); }, Qt::QueuedConnection);
        if (wake.wait_for(lock, std::chrono::milliseconds(RetryMs), [this] { return stopping; }))
            break;
    }
    std::lock_guard<std::mutex> lock(mutex);
    networkDone = true;
    wake.notify_all();
}

void MqttPublisher::stopNetwork()
{
    if (!network.joinable())
        return;
    std::unique_lock<std::mutex> lock(mutex);
    stopping = true;
    wake.notify_all();
    // The loop may be between two connection attempts when asked: asking again until it has
    // ended keeps a connection made just then from holding it.
    while (!networkDone) {
        lock.unlock();
        mosquitto_disconnect(client);
        lock.lock();
        wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return networkDone; });
    }
    lock.unlock();
    network.join();
    online = false;
}

QString MqttPublisher::describe(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

void MqttPublisher::onConnect(mosquitto*, void* self, int rc)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    QMetaObject::invokeMethod(
        publisher, [publisher, rc] { publisher->handleConnect(rc); }, Qt::QueuedConnection);
}

void MqttPublisher::onDisconnect(mosquitto*, void* self, int rc)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    const QString reason = rc == 0 ? QStringLiteral("disconnected") : describe(rc);
    QMetaObject::invokeMethod(
        publisher, [publisher, reason] { publisher->handleDisconnect(reason); },
        Qt::QueuedConnection);
}

void MqttPublisher::onPublish(mosquitto*, void* self, int mid)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    QMetaObject::invokeMethod(
        publisher, [publisher, mid] { publisher->handlePublished(mid); }, Qt::QueuedConnection);
}

void MqttPublisher::handleConnect(int rc)
{
    if (rc != 0) {
        handleDisconnect(QString::fromUtf8(mosquitto_connack_string(rc)));
        return;
    }
    if (phase == Phase::Done)
        return;
    online = true;
    downReported = false;
    static const QByteArray onlineText("online");
    publishRaw(statusTopic, onlineText, true, nullptr);
    if (!inFlight.empty()) {
        resending = true;
        resendTimer->start();
    }
    emit connected();
    pump();
}

void MqttPublisher::handleDisconnect(const QString& reason)
{
    const bool wasOnline = online;
    online = false;
    resending = false;
    resendTimer->stop();
    if (phase == Phase::Done)
        return;
    if (wasOnline || !downReported) {
        downReported = true;
        emit unreachable(reason);
    }
    // Nothing more can go out before the end.
    if (phase == Phase::Draining)
        windDown();
    else if (phase == Phase::SayingOffline)
        complete();
}

void MqttPublisher::handlePublished(int mid)
{
    if (phase == Phase::SayingOffline && mid == offlineMid) {
        complete();
        return;
    }
    for (auto it = inFlight.begin(); it != inFlight.end(); ++it) {
        if (it->mid == mid) {
            inFlight.erase(it);
            ++publishedCount;
            break;
        }
    }
    if (inFlight.empty() && resending) {
        resending = false;
        resendTimer->stop();
    }
    pump();
    if (phase == Phase::Draining && queue.isEmpty() && inFlight.empty())
        windDown();
}

void MqttPublisher::publish(const QByteArray& message)
{
    queue.push(message);
    pump();
}

int MqttPublisher::publishRaw(
    const QByteArray& topic, const QByteArray& payload, bool retain, int* mid)
{
    return mosquitto_publish(
        client, mid, topic.constData(), payload.size(), payload.constData(), 1, retain);
}

void MqttPublisher::pump()
{
    if (!online || resending || phase == Phase::SayingOffline || phase == Phase::Done)
        return;
    while (int(inFlight.size()) < Window && !queue.isEmpty()) {
        const QByteArray message = queue.takeFront();
        int mid = 0;
        const int rc = publishRaw(readingTopic, message, false, &mid);
        // Without a connection the library keeps the message and sends it once connected.
        if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN) {
            queue.pushFront({ message });
            return;
        }
        inFlight.push_back({ mid, message });
        newest = message;
        lastDue = true;
        if (rc == MOSQ_ERR_NO_CONN)
            return;
    }
    // A backlog ends with its newest reading on .../last, not with every one of them.
    if (lastDue && queue.isEmpty()) {
        lastDue = false;
        publishRaw(lastTopic, newest, true, nullptr);
    }
}

void MqttPublisher::requeueUnconfirmed()
{
    // The library did not send these again after all: they are handed over anew, ahead of
    // everything queued since. Their old confirmations, should they come, are no longer looked for.
    std::deque<QByteArray> older;
    for (const Sent& sent : inFlight)
        older.push_back(sent.message);
    inFlight.clear();
    queue.pushFront(older);
    resending = false;
    pump();
}

void MqttPublisher::finish(int timeoutMs)
{
    if (phase != Phase::Running)
        return;
    phase = Phase::Draining;
    if (!online || (queue.isEmpty() && inFlight.empty())) {
        windDown();
        return;
    }
    finishTimer->start(timeoutMs);
}

void MqttPublisher::windDown()
{
    if (phase == Phase::SayingOffline || phase == Phase::Done)
        return;
    finishTimer->stop();
    if (!online) {
        complete();
        return;
    }
    phase = Phase::SayingOffline;
    static const QByteArray offlineText("offline");
    if (publishRaw(statusTopic, offlineText, true, &offlineMid) != MOSQ_ERR_SUCCESS) {
        complete();
        return;
    }
    // A broker that stops answering must not hold the end for long.
    finishTimer->start(2000);
}

void MqttPublisher::complete()
{
    if (phase == Phase::Done)
        return;
    phase = Phase::Done;
    finishTimer->stop();
    resendTimer->stop();
    stopNetwork();
    emit finished();
}

#include "mqttpublisher.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

namespace {

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
    , housekeeping(new QTimer(this))
    , reconnectTimer(new QTimer(this))
    , answerTimer(new QTimer(this))
    , lastTimer(new QTimer(this))
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
    housekeeping->setInterval(HousekeepingMs);
    connect(housekeeping, &QTimer::timeout, this, &MqttPublisher::service);
    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &QTimer::timeout, this, &MqttPublisher::connectToBroker);
    lastTimer->setSingleShot(true);
    lastTimer->setInterval(LastIntervalMs);
    connect(lastTimer, &QTimer::timeout, this, [this] {
        if (phase == Phase::Running && queue.isEmpty() && !resending)
            publishLast();
    });
    answerTimer->setSingleShot(true);
    answerTimer->setInterval(2 * AnswerBatchMs);
    connect(answerTimer, &QTimer::timeout, this, [this] {
        if (readNotifier)
            readNotifier->setEnabled(true);
        service();
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
    mosquitto_connect_callback_set(client, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(client, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(client, &MqttPublisher::onPublish);
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
    connectToBroker();
    return true;
}

void MqttPublisher::connectToBroker()
{
    if (stopping || connector.joinable())
        return;
    // Looking the name up may take as long as the name server wants; meanwhile readings keep
    // coming in, so the attempt runs beside the event loop. It only starts the connection: the
    // rest of it (TLS, the broker's answer) is served from the event loop like any traffic.
    connector = std::thread([this, host = utf8(settings.host)] {
        const int rc
            = mosquitto_connect_async(client, host.constData(), settings.port, KeepAliveSeconds);
        const QString reason = rc == MOSQ_ERR_SUCCESS ? QString() : describe(rc);
        QMetaObject::invokeMethod(
            this, [this, rc, reason] { connectAttemptDone(rc, reason); }, Qt::QueuedConnection);
    });
}

void MqttPublisher::connectAttemptDone(int rc, const QString& reason)
{
    if (connector.joinable())
        connector.join();
    if (stopping)
        return;
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(client) < 0) {
        handleDisconnect(rc != MOSQ_ERR_SUCCESS ? reason : QStringLiteral("the connection ended"));
        scheduleReconnect();
        return;
    }
    watchSocket();
    service();
}

void MqttPublisher::scheduleReconnect()
{
    if (stopping)
        return;
    // 1 s, 4 s, then every 5 s until the broker answers again.
    reconnectTimer->start(qMin(5, (attempts + 1) * (attempts + 1)) * 1000);
    ++attempts;
}

bool MqttPublisher::isLinked() const
{
    return readNotifier != nullptr && !connector.joinable();
}

void MqttPublisher::watchSocket()
{
    const int fd = mosquitto_socket(client);
    readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(readNotifier, &QSocketNotifier::activated, this, &MqttPublisher::answersArrived);
    writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(writeNotifier, &QSocketNotifier::activated, this, &MqttPublisher::service);
    housekeeping->start();
    updateWriteInterest();
}

void MqttPublisher::answersArrived()
{
    // While readings flow, the broker's answers are mostly their confirmations: reading each one
    // as it comes would wake the logger twice per reading, so they are read together a moment
    // later. Anything else (the connection's answer, a backlog going out, the end) is read at
    // once.
    if (phase == Phase::Running && online && !resending && !inFlight.empty() && queue.isEmpty()) {
        readNotifier->setEnabled(false);
        gathering.start();
        answerTimer->start();
        return;
    }
    service();
}

void MqttPublisher::readGatheredAnswers()
{
    // The logger is awake for a reading anyway: reading the confirmations now spares a wake-up
    // of their own, and the fallback timer never fires while readings keep coming.
    if (!readNotifier || readNotifier->isEnabled() || !gathering.hasExpired(AnswerBatchMs))
        return;
    gathering.start();
    answerTimer->start();
    service();
}

void MqttPublisher::dropSocket()
{
    housekeeping->stop();
    answerTimer->stop();
    for (QSocketNotifier** notifier : { &readNotifier, &writeNotifier }) {
        if (*notifier) {
            // Possibly from inside its own signal: it goes once that has returned.
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
}

void MqttPublisher::updateWriteInterest()
{
    // Only while the library has something it could not write at once, else the ever writable
    // socket would wake the loop for nothing.
    if (writeNotifier)
        writeNotifier->setEnabled(mosquitto_want_write(client));
}

void MqttPublisher::service()
{
    if (!isLinked())
        return;
    // One pass of the library's own loop, which never waits here: reads what the broker sent,
    // writes what is pending, finishes a TLS handshake and keeps the connection alive.
    inLibraryLoop = true;
    const int rc = mosquitto_loop(client, 0, 1);
    inLibraryLoop = false;
    if (mosquitto_socket(client) >= 0) {
        updateWriteInterest();
        drainDeferred();
        return;
    }
    // The library closed the connection (lost, or refused by the broker) and has told why
    // through its callback when it knew; a reason of our own covers the rest.
    dropSocket();
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString reason = describe(rc);
        defer([this, reason] { handleDisconnect(reason); });
    }
    scheduleReconnect();
    drainDeferred();
}

void MqttPublisher::stopNetwork()
{
    stopping = true;
    reconnectTimer->stop();
    if (connector.joinable())
        connector.join();
    if (client && mosquitto_socket(client) >= 0) {
        // Said to the broker, the end is meant: it keeps the last will to itself. The library
        // writes it at once unless the socket is full.
        mosquitto_disconnect(client);
        for (int i = 0; i < 10 && mosquitto_socket(client) >= 0 && mosquitto_want_write(client);
             ++i)
            mosquitto_loop(client, 100, 1);
    }
    dropSocket();
    online = false;
}

QString MqttPublisher::describe(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

void MqttPublisher::defer(std::function<void()> handler)
{
    deferred.push_back(std::move(handler));
    // Inside service() they run once the library has returned; from any other call into it
    // (the end's disconnect), on the next turn of the event loop.
    if (!inLibraryLoop && !drainPosted) {
        drainPosted = true;
        QMetaObject::invokeMethod(this, &MqttPublisher::drainDeferred, Qt::QueuedConnection);
    }
}

void MqttPublisher::drainDeferred()
{
    drainPosted = false;
    while (!deferred.empty()) {
        const std::function<void()> handler = std::move(deferred.front());
        deferred.pop_front();
        handler();
    }
}

void MqttPublisher::onConnect(mosquitto*, void* self, int rc)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    publisher->defer([publisher, rc] { publisher->handleConnect(rc); });
}

void MqttPublisher::onDisconnect(mosquitto*, void* self, int rc)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    const QString reason = rc == 0 ? QStringLiteral("disconnected") : describe(rc);
    publisher->defer([publisher, reason] { publisher->handleDisconnect(reason); });
}

void MqttPublisher::onPublish(mosquitto*, void* self, int mid)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    publisher->defer([publisher, mid] { publisher->handlePublished(mid); });
}

void MqttPublisher::handleConnect(int rc)
{
    if (rc != 0) {
        handleDisconnect(QString::fromUtf8(mosquitto_connack_string(rc)));
        return;
    }
    // A connection that was lost again before this was handled is no longer to be used.
    if (phase == Phase::Done || !isLinked())
        return;
    online = true;
    downReported = false;
    attempts = 0;
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
    readGatheredAnswers();
}

int MqttPublisher::publishRaw(
    const QByteArray& topic, const QByteArray& payload, bool retain, int* mid)
{
    const int rc = mosquitto_publish(
        client, mid, topic.constData(), payload.size(), payload.constData(), 1, retain);
    updateWriteInterest();
    return rc;
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
    if (queue.isEmpty() && !lastTimer->isActive())
        publishLast();
}

void MqttPublisher::publishLast()
{
    if (!lastDue || !online)
        return;
    // Only the newest reading matters there: at the meter's full rate it is replaced a few times
    // a second rather than a hundred, which would double what goes to the broker. After a quiet
    // interval the next one goes at once.
    lastDue = false;
    publishRaw(lastTopic, newest, true, nullptr);
    lastTimer->start();
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
    // The newest reading is on .../last before the logger says it is offline.
    publishLast();
    lastTimer->stop();
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

#include "logger.h"

#include "csvlog.h"
#include "dmmdata.h"
#include "mqttpublisher.h"
#include "mydmm.h"
#include "portidentity.h"
#include "readingmessage.h"
#include "reconnector.h"
#include "sessionlog.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>

namespace {

// Longest single wait of the duration timer; a longer run re-arms it.
constexpr int DurationStepMs = 3600 * 1000;

} // namespace

Logger::Logger(const LoggerOptions& options, QObject* parent)
    : QObject(parent)
    , options(options)
    , saveTimer(new QTimer(this))
    , statusTimer(new QTimer(this))
    , durationTimer(new QTimer(this))
    , meterRetry(new QTimer(this))
{
    saveTimer->setInterval(SaveIntervalMs);
    saveTimer->setTimerType(Qt::PreciseTimer);
    statusTimer->setInterval(options.statusIntervalMs);
    durationTimer->setSingleShot(true);
    meterRetry->setInterval(MeterRetryMs);
    connect(saveTimer, &QTimer::timeout, this, [this] {
        QString problem;
        if (!saveFiles(&problem))
            fail(problem);
    });
    connect(statusTimer, &QTimer::timeout, this, [this] { say(statusLine()); });
    connect(durationTimer, &QTimer::timeout, this, &Logger::durationTick);
    connect(meterRetry, &QTimer::timeout, this, &Logger::retryMeter);
}

Logger::~Logger() = default;

void Logger::say(const QString& text)
{
    std::fprintf(stderr, "vibview-logger: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString Logger::meterId(const QString& serialNumber, const QString& portName)
{
    QString id = serialNumber.trimmed().isEmpty() ? portName : serialNumber.trimmed();
    while (id.startsWith(QLatin1Char('/')))
        id.remove(0, 1);
    for (QChar& c : id) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') || c.isSpace()
            || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    return id.isEmpty() ? QStringLiteral("meter") : id;
}

QString Logger::statusLine() const
{
    return QStringLiteral("received %1, written %2, published %3, queued %4, dropped %5, damaged "
                          "frames %6")
        .arg(received)
        .arg(written)
        .arg(publisher ? publisher->published() : 0)
        .arg(publisher ? publisher->queued() : 0)
        .arg(publisher ? publisher->dropped() : 0)
        .arg(damaged);
}

QString Logger::brokerName() const
{
    const QString host = options.mqttHost.contains(QLatin1Char(':'))
        ? QLatin1Char('[') + options.mqttHost + QLatin1Char(']')
        : options.mqttHost;
    return QStringLiteral("%1:%2").arg(host).arg(options.mqttPort);
}

int Logger::failStart(int code, const QString& message)
{
    say(message);
    if (session) {
        session->close(QDateTime::currentDateTime());
        session.reset();
    }
    if (csv) {
        csv->close();
        csv.reset();
    }
    return code;
}

int Logger::start()
{
    const QDateTime started = QDateTime::currentDateTime();
    if (!options.sessionFile.isEmpty()) {
        session = std::make_unique<SessionLog>();
        if (!session->open(options.sessionFile, options.itemName, started))
            return failStart(OutputFailed,
                QStringLiteral("the session file %1 cannot be written: %2")
                    .arg(options.sessionFile, session->errorString()));
    }
    if (!options.csvFile.isEmpty()) {
        csv = std::make_unique<CsvLog>();
        if (!csv->open(options.csvFile))
            return failStart(OutputFailed,
                QStringLiteral("the CSV file %1 cannot be written: %2")
                    .arg(options.csvFile, csv->errorString()));
    }

    MyDmm::setPortOverride(options.port);
    dmm = std::make_unique<MyDmm>();
    dmm->setSampleRate(options.interval);
    // Every output writes the time with its offset from UTC.
    dmm->setStamp(FrameCodec::Stamp::FixedOffset);
    if (!dmm->open())
        return failStart(NoMeter, QStringLiteral("cannot open the meter: %1").arg(meterFailure()));
    portName = dmm->portName();
    id = meterId(PortIdentity::serialNumber(portName), portName);

    reconnector = new Reconnector(dmm.get(), this);
    connect(dmm.get(), &MyDmm::display, this, &Logger::readingArrived);
    // The logger asks the meter for nothing; stored readings are never its business.
    connect(dmm.get(), &MyDmm::displayStore, this,
        [](const DmmData* reading) { DmmData::adopt(reading); });
    connect(dmm.get(), &MyDmm::damagedFramesChanged, this, [this](int count) {
        // The link counts from its last opening; the logger counts across reconnections.
        if (count > lastDamagedCount)
            damaged += count - lastDamagedCount;
        lastDamagedCount = count;
    });
    connect(dmm.get(), &MyDmm::opened, this, &Logger::meterOpened);
    connect(reconnector, &Reconnector::lost, this, &Logger::meterLost);

    if (!options.mqttHost.isEmpty()) {
        MqttPublisher::Settings settings;
        settings.host = options.mqttHost;
        settings.port = options.mqttPort;
        settings.clientId = options.clientId.isEmpty() ? QStringLiteral("vibview-logger-") + id
                                                       : options.clientId;
        settings.username = options.username;
        settings.password = options.password;
        settings.hasPassword = options.hasPassword;
        settings.tlsCa = options.tlsCa;
        settings.topicPrefix = options.topic;
        settings.meterId = id;
        publisher = new MqttPublisher(settings, this);
        connect(publisher, &MqttPublisher::connected, this,
            [this] { say(QStringLiteral("connected to the broker at %1").arg(brokerName())); });
        connect(publisher, &MqttPublisher::unreachable, this, [this](const QString& reason) {
            say(QStringLiteral("the broker at %1 is unreachable (%2); readings are kept until "
                               "it is back")
                    .arg(brokerName(), reason));
        });
        if (!publisher->start()) {
            dmm->close();
            return failStart(OutputFailed,
                QStringLiteral("the broker at %1 cannot be used: %2")
                    .arg(brokerName(), publisher->errorString()));
        }
    }

    say(QStringLiteral("logging the meter on %1 (meter id %2)").arg(portName, id));
    if (session || csv)
        saveTimer->start();
    statusTimer->start();
    if (options.duration > 0) {
        deadline = QDeadlineTimer(options.duration * 1000);
        durationTick();
    }
    return Clean;
}

QString Logger::meterFailure() const
{
    if (options.port.isEmpty())
        return QStringLiteral("no serial port with the meter's USB identifiers (%1:%2) was found; "
                              "is it plugged in? --port names a port")
            .arg(MyDmm::VendorId, 4, 16, QLatin1Char('0'))
            .arg(MyDmm::ProductId, 4, 16, QLatin1Char('0'));
    // The link says only that it failed; opening the port once more tells the system's reason.
    QSerialPort probe(options.port);
    if (!probe.open(QIODevice::ReadWrite))
        return QStringLiteral("%1: %2").arg(options.port, probe.errorString());
    return QStringLiteral("%1 cannot be opened as the meter's port").arg(options.port);
}

void Logger::durationTick()
{
    if (deadline.hasExpired()) {
        stop(Clean);
        return;
    }
    durationTimer->start(int(qMin<qint64>(deadline.remainingTime(), DurationStepMs)));
}

void Logger::readingArrived(const DmmData* data)
{
    const std::unique_ptr<DmmData> reading = DmmData::adopt(data);
    if (ending || failure != Clean)
        return;
    ++received;
    // The link stamps readings with a fixed offset already; this only converts a local time.
    reading->setDateTime(ReadingMessage::fixedOffset(reading->dateTime()));
    if (session && !session->append(*reading)) {
        fail(QStringLiteral("the session file %1 cannot be written: %2")
                 .arg(options.sessionFile, session->errorString()));
        return;
    }
    if (csv && !csv->append(*reading)) {
        fail(QStringLiteral("the CSV file %1 cannot be written: %2")
                 .arg(options.csvFile, csv->errorString()));
        return;
    }
    if (session || csv)
        ++unsaved;
    if (publisher)
        publisher->publish(ReadingMessage::json(*reading));
}

bool Logger::saveFiles(QString* problem)
{
    if (session && !session->save()) {
        *problem = QStringLiteral("the session file %1 cannot be written: %2")
                       .arg(options.sessionFile, session->errorString());
        return false;
    }
    if (csv && !csv->flush()) {
        *problem = QStringLiteral("the CSV file %1 cannot be written: %2")
                       .arg(options.csvFile, csv->errorString());
        return false;
    }
    written += unsaved;
    unsaved = 0;
    return true;
}

void Logger::fail(const QString& message)
{
    if (ending || failure != Clean)
        return;
    say(message);
    failure = OutputFailed;
    // Not from inside the link's signal that brought the reading: the end closes the link.
    QMetaObject::invokeMethod(
        this, [this] { stop(OutputFailed); }, Qt::QueuedConnection);
}

void Logger::meterOpened()
{
    meterRetry->stop();
    if (!meterAway)
        return;
    meterAway = false;
    portName = dmm->portName();
    say(QStringLiteral("the meter is back on %1").arg(portName));
}

void Logger::meterLost()
{
    meterAway = true;
    say(QStringLiteral("the meter on %1 was lost; waiting for it to come back").arg(portName));
    meterRetry->start();
}

void Logger::retryMeter()
{
    if (!dmm->isOpened())
        dmm->open();
}

void Logger::stop(int code)
{
    if (ending)
        return;
    ending = true;
    exitCode = failure != Clean ? failure : code;
    saveTimer->stop();
    statusTimer->stop();
    durationTimer->stop();
    meterRetry->stop();
    if (dmm) {
        dmm->disconnect(this);
        dmm->close();
    }
    // What came in is saved unless saving is what failed.
    if (failure == Clean) {
        QString problem;
        if (!saveFiles(&problem)) {
            say(problem);
            exitCode = OutputFailed;
        } else if (session && !session->close(QDateTime::currentDateTime())) {
            say(QStringLiteral("the session file %1 cannot be written: %2")
                    .arg(options.sessionFile, session->errorString()));
            exitCode = OutputFailed;
        }
    }
    session.reset();
    csv.reset();
    if (publisher) {
        connect(publisher, &MqttPublisher::finished, this, &Logger::finishNow);
        publisher->finish(FinishTimeoutMs);
        return;
    }
    finishNow();
}

void Logger::finishNow()
{
    say(statusLine());
    emit finished(exitCode);
}

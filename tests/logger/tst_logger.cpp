// vibview-logger as it runs beside a machine: the real program against the meter simulator,
// publishing to Debian's mosquitto broker on the loopback address, read back with mosquitto_sub,
// the session reader and the CSV import.
#include "csvimport.h"
#include "dmmdata.h"
#include "framecodec.h"
#include "loadeditem.h"
#include "metersim.h"
#include "sessionreader.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int LongWaitMs = 60000;

QString findProgram(const QString& name)
{
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty())
        return found;
    // Debian puts the broker where a user's PATH may not look.
    return QStandardPaths::findExecutable(
        name, { QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin") });
}

// A port nobody listens on now: the system picks one for a socket bound to port 0.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

const char* const noBroker = "mosquitto and mosquitto_sub are not installed (scripts/deps.sh "
                             "installs mosquitto and mosquitto-clients)";

// A process whose output is collected line by line.
class Lines : public QObject
{
public:
    explicit Lines(QProcess::ProcessChannel channel)
        : channel(channel)
    {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        connect(&process,
            channel == QProcess::StandardOutput ? &QProcess::readyReadStandardOutput
                                                : &QProcess::readyReadStandardError,
            this, &Lines::read);
    }
    ~Lines() override { stop(); }

    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    void read()
    {
        process.setReadChannel(channel);
        partial += process.readAll();
        int end;
        while ((end = partial.indexOf('\n')) >= 0) {
            lines << QString::fromUtf8(partial.left(end));
            partial.remove(0, end + 1);
        }
    }

    // The first line from index from on that matches, or an empty string after the time.
    QString waitFor(const QRegularExpression& pattern, int from = 0, int timeoutMs = LongWaitMs)
    {
        QString found;
        (void)QTest::qWaitFor(
            [&] {
                read();
                for (int i = from; i < lines.size(); ++i) {
                    if (pattern.match(lines.at(i)).hasMatch()) {
                        found = lines.at(i);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }

    QProcess process;
    QStringList lines;

private:
    QProcess::ProcessChannel channel;
    QByteArray partial;
};

// A mosquitto broker of the test's own on 127.0.0.1 and a free port. With keepSessions it keeps
// the sessions of clients that ask for it across a restart, so that a subscriber misses nothing
// while the broker is away; the logger's own session is never kept.
class Broker
{
public:
    bool start(const QString& folder, bool keepSessions)
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            listenPort = freePort();
            if (listenPort == 0)
                continue;
            config = QDir(folder).filePath(QStringLiteral("broker.conf"));
            QFile file(config);
            if (!file.open(QIODevice::WriteOnly))
                return false;
            file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n")
                           .arg(listenPort)
                           .toUtf8());
            if (keepSessions)
                file.write(QStringLiteral("persistence true\npersistence_location %1/\n"
                                          "max_queued_messages 100000\n")
                               .arg(folder)
                               .toUtf8());
            // Started by root, the broker would run as a user of its own that cannot write into
            // this private folder, and the sessions would be lost with the restart after all.
            if (keepSessions && ::geteuid() == 0)
                file.write("user root\n");
            else
                file.write("persistence false\n");
            file.close();
            if (restart())
                return true;
        }
        return false;
    }

    bool restart()
    {
        output = std::make_unique<Lines>(QProcess::StandardError);
        output->process.start(findProgram(QStringLiteral("mosquitto")), { "-c", config });
        return !output->waitFor(QRegularExpression(" running$"), 0, 20000).isEmpty();
    }

    void stop() { output.reset(); }
    int port() const { return listenPort; }
    QString log() const { return output ? output->lines.join('\n') : QString(); }

private:
    std::unique_ptr<Lines> output;
    QString config;
    int listenPort = 0;
};

// mosquitto_sub on the broker, QoS 1; with an id its session outlives a restart of the broker.
class Subscriber : public Lines
{
public:
    Subscriber()
        : Lines(QProcess::StandardOutput)
    { }

    bool start(int port, const QString& filter, const QString& id = QString())
    {
        QStringList arguments { "-h", "127.0.0.1", "-p", QString::number(port), "-q", "1", "-v",
            "-d", "-t", filter };
        if (!id.isEmpty())
            arguments << "-c"
                      << "-i" << id;
        // Line-buffered, so that each line can be read as it is printed into the pipe.
        process.start(QStringLiteral("stdbuf"),
            QStringList { "-oL", findProgram(QStringLiteral("mosquitto_sub")) } + arguments);
        // Subscribed before anything is published.
        return !waitFor(QRegularExpression("received SUBACK"), 0, 20000).isEmpty();
    }

    // Payloads that arrived on topics ending in /leaf, in order; debug lines are left out.
    QStringList payloads(const QString& leaf)
    {
        read();
        QStringList found;
        for (const QString& line : qAsConst(lines)) {
            const QString topic = line.section(' ', 0, 0);
            if (!line.startsWith(QLatin1String("Client ")) && topic.endsWith('/' + leaf))
                found << line.section(' ', 1);
        }
        return found;
    }

    QString topicOf(const QString& leaf)
    {
        for (const QString& line : qAsConst(lines)) {
            const QString topic = line.section(' ', 0, 0);
            if (!line.startsWith(QLatin1String("Client ")) && topic.endsWith('/' + leaf))
                return topic;
        }
        return QString();
    }
};

// The program under test.
class LoggerRun : public Lines
{
public:
    LoggerRun()
        : Lines(QProcess::StandardError)
    { }

    void start(const QStringList& arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // An hour east of UTC, without daylight saving: the offset shows in every time.
        env.insert(QStringLiteral("TZ"), QStringLiteral("CET-1"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(LOGGER_PATH), arguments);
        process.waitForStarted(10000);
    }

    // Sends the signal and waits for the end; the exit code, or -1.
    int end(int signalNumber)
    {
        ::kill(pid_t(process.processId()), signalNumber);
        if (!process.waitForFinished(LongWaitMs))
            return -1;
        read();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The figures of the last status line from index from on: "received", "written",
    // "published", "queued", "dropped", "damaged frames"; empty when there is none.
    QHash<QString, qint64> status(int from = 0)
    {
        read();
        static const QRegularExpression figure(QStringLiteral("([a-z ]+) (\\d+)"));
        QHash<QString, qint64> figures;
        for (int i = lines.size() - 1; i >= from && figures.isEmpty(); --i) {
            if (!lines.at(i).startsWith(QLatin1String("vibview-logger: received ")))
                continue;
            const QString text = lines.at(i).mid(int(strlen("vibview-logger: ")));
            for (const QString& part : text.split(QStringLiteral(", "))) {
                const auto match = figure.match(part);
                if (match.hasMatch())
                    figures.insert(match.captured(1), match.captured(2).toLongLong());
            }
        }
        return figures;
    }

    // Waits until a status line shows the figure at least at value.
    bool waitForStatus(const QString& name, qint64 value)
    {
        return QTest::qWaitFor([&] { return status().value(name, -1) >= value; }, LongWaitMs);
    }
};

// Live frames the simulator printed: their value texts, the damaged ones left out, and how many
// it damaged.
struct Sent
{
    QStringList texts;
    int damaged = 0;
};

Sent sentBy(const MeterSim& sim)
{
    Sent sent;
    for (const QString& line : sim.lines()) {
        if (!line.startsWith(QLatin1String("live: ")))
            continue;
        const int space = line.indexOf(' ', 6);
        if (line.contains(QLatin1String(" bad-checksum")))
            ++sent.damaged;
        else
            sent.texts << line.mid(space + 1, 5);
    }
    return sent;
}

// The reading the window makes of a live frame with this value text and these codes.
std::unique_ptr<DmmData> decoded(
    const QString& text, int band, int status, int unit, int detection, int battery)
{
    QByteArray bytes = QByteArray::fromHex("abcd1400") + text.toLatin1() + QByteArray("0000")
        + char(band) + char(status) + char(unit) + char(detection) + char(battery);
    const quint16 sum = FrameCodec::checksum(bytes.constData(), bytes.size());
    bytes += char(sum >> 8);
    bytes += char(sum & 0xFF);
    QString lastUnit;
    return std::unique_ptr<DmmData>(FrameCodec::decodeReading(bytes, lastUnit));
}

QJsonObject object(const QString& json)
{
    return QJsonDocument::fromJson(json.toUtf8()).object();
}

// Each message once, in the order it first came: QoS 1 may deliver a message again after a
// connection was lost before its confirmation.
QStringList firstArrivals(const QStringList& messages)
{
    QStringList unique;
    QSet<QString> seen;
    for (const QString& message : messages) {
        if (!seen.contains(message)) {
            seen.insert(message);
            unique << message;
        }
    }
    return unique;
}

QStringList textsOf(const QStringList& messages)
{
    QStringList texts;
    for (const QString& message : messages)
        texts << object(message).value(QStringLiteral("text")).toString();
    return texts;
}

bool haveBroker()
{
    return !findProgram(QStringLiteral("mosquitto")).isEmpty()
        && !findProgram(QStringLiteral("mosquitto_sub")).isEmpty();
}

} // namespace

class LoggerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void exitCodes_data();
    void exitCodes();
    void publishesEveryFrameAndWritesTheFiles();
    void brokerAwayLosesNothing();
    void meterUnpluggedAndBack();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void LoggerTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void LoggerTest::exitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // on standard error, or standard output for --help

    QTest::newRow("help") << QStringList { "--help" } << 0 << "--password-file <FILE>";
    QTest::newRow("unknown option") << QStringList { "--csv", "@a.csv", "--speed", "9600" } << 2
                                    << "vibview-logger: Unknown option 'speed'.";
    QTest::newRow("nothing to log to") << QStringList { "--port", "/dev/ttyUSB0" } << 2
                                       << "vibview-logger: nothing to log to: give --session, "
                                          "--csv or --mqtt";
    QTest::newRow("stray argument")
        << QStringList { "--csv", "@a.csv", "now" } << 2 << "unexpected argument \"now\"";
    QTest::newRow("interval not a number") << QStringList { "--csv", "@a.csv", "--interval", "1s" }
                                           << 2 << "--interval takes milliseconds";
    QTest::newRow("no duration") << QStringList { "--csv", "@a.csv", "--duration", "0" } << 2
                                 << "--duration takes whole seconds";
    QTest::newRow("broker port out of range")
        << QStringList { "--mqtt", "broker:70000" } << 2 << "--mqtt takes HOST or HOST:PORT";
    QTest::newRow("broker option without a broker") << QStringList { "--csv", "@a.csv", "--topic",
        "plant" } << 2 << "--topic is for the broker, but --mqtt is not given";
    QTest::newRow("wildcard in the topic") << QStringList { "--mqtt", "b", "--topic", "plant/#" }
                                           << 2 << "cannot hold +, # or end with /";
    QTest::newRow("password without a user") << QStringList { "--mqtt", "b", "--password-file",
        "@a.csv" } << 2 << "--password-file needs --username";
    QTest::newRow("password file missing") << QStringList { "--mqtt", "b", "--username", "u",
        "--password-file", "@none" } << 2 << "none cannot be read: No such file or directory";
    QTest::newRow("item without a session file")
        << QStringList { "--csv", "@a.csv", "--item", "Pump" } << 2 << "--item names the item";
    QTest::newRow("given twice") << QStringList { "--csv", "@a.csv", "--csv", "@b.csv" } << 2
                                 << "--csv is given more than once";
    QTest::newRow("meter not there") << QStringList { "--csv", "@a.csv", "--port", "@no-such-tty" }
                                     << 3 << "no-such-tty: No such file or directory";
    QTest::newRow("a file is no meter") << QStringList { "--csv", "@a.csv", "--port", "@not-a-tty" }
                                        << 3 << "not-a-tty: Inappropriate ioctl for device";
    QTest::newRow("CSV in a missing folder") << QStringList { "--csv", "@missing/a.csv", "--port",
        "@not-a-tty" } << 4 << "a.csv cannot be written: No such file or directory";
    QTest::newRow("CSV that is another file") << QStringList { "--csv", "@not-a-tty", "--port",
        "@not-a-tty" } << 4 << "not-a-tty cannot be written: it is not a vibview CSV file";
    QTest::newRow("full disk") << QStringList { "--csv", "/dev/full", "--port", "@not-a-tty" } << 4
                               << "/dev/full cannot be written: No space left on device";
    QTest::newRow("session file that is no session") << QStringList { "--session", "@not-a-tty",
        "--port", "@not-a-tty" } << 4 << "not-a-tty cannot be written: file is not a database";
}

void LoggerTest::exitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFile other(dir->filePath(QStringLiteral("not-a-tty")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("Some other file\n");
    other.close();
    for (QString& argument : arguments) {
        if (argument.startsWith('@'))
            argument = dir->filePath(argument.mid(1));
    }

    QProcess process;
    process.start(QStringLiteral(LOGGER_PATH), arguments);
    QVERIFY(process.waitForFinished(LongWaitMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(process.exitCode() == exitCode, qPrintable(err));
    QVERIFY2((exitCode == 0 ? out : err).contains(message), qPrintable(out + err));
    if (exitCode == 2)
        QVERIFY2(err.endsWith("Try \"vibview-logger --help\".\n"), qPrintable(err));
    // A refused start leaves another program's file as it was.
    QVERIFY(other.open(QIODevice::ReadOnly));
    QCOMPARE(other.readAll(), QByteArray("Some other file\n"));
}

void LoggerTest::publishesEveryFrameAndWritesTheFiles()
{
    if (!haveBroker())
        QSKIP(noBroker);
    Broker broker;
    QVERIFY2(broker.start(dir->path(), false), qPrintable(broker.log()));
    Subscriber subscriber;
    QVERIFY(subscriber.start(broker.port(), QStringLiteral("plant/#")));

    // Codes other than the simulator's defaults, and some frames damaged on the line.
    const int band = 4, status = 5, unit = 4, detection = 2, battery = 2;
    MeterSim sim;
    QVERIFY2(!sim.start({ "--period", "20", "--sequence", "ramp", "--from", "-0.3", "--live-count",
                            "100", "--bad-checksum", "0.1", "--seed", "3", "--band",
                            QString::number(band), "--status", QString::number(status), "--unit",
                            QString::number(unit), "--detection", QString::number(detection),
                            "--battery", QString::number(battery) })
                  .isEmpty(),
        qPrintable(sim.errorText()));
    const QString session = dir->filePath(QStringLiteral("line 3.vibview"));
    const QString csv = dir->filePath(QStringLiteral("line 3.csv"));
    LoggerRun logger;
    logger.start({ "--port", sim.portPath(), "--mqtt",
        QStringLiteral("127.0.0.1:%1").arg(broker.port()), "--topic", "plant", "--session", session,
        "--item", "Pump 3", "--csv", csv, "--status-interval", "100" });

    QVERIFY(!sim.waitForLine(QStringLiteral("live: 100 ")).isEmpty());
    const Sent sent = sentBy(sim);
    QVERIFY(sent.damaged > 0);
    QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads("reading").size(), sent.texts.size(), LongWaitMs);
    QCOMPARE(logger.end(SIGTERM), 0);

    // Every intact frame, in order, with its fields as the window decodes them.
    const QStringList messages = subscriber.payloads("reading");
    for (int i = 0; i < messages.size(); ++i) {
        const QJsonObject message = object(messages.at(i));
        const auto expected = decoded(sent.texts.at(i), band, status, unit, detection, battery);
        QCOMPARE(message.value("text").toString(), expected->text(0));
        QVERIFY(message.value("value").isDouble());
        QCOMPARE(message.value("value").toDouble(), expected->value(0));
        QCOMPARE(message.value("unit").toString(), expected->unit().text);
        QCOMPARE(message.value("detection").toString(), expected->detection());
        QCOMPARE(message.value("band").toString(), expected->band());
        QCOMPARE(message.value("state").toString(), QStringLiteral("ok"));
        QCOMPARE(message.value("battery").toInt(), expected->battery());
        QCOMPARE(message.value("status").toArray(),
            (QJsonArray { expected->status0(), expected->status1(), expected->status2(),
                expected->status3() }));
        QVERIFY2(message.value("time").toString().endsWith("+01:00"), qPrintable(messages.at(i)));
    }
    QCOMPARE(subscriber.topicOf("reading"),
        "plant/" + QString(sim.portPath()).remove("/dev/").replace('/', '_') + "/reading");
    // The last reading stays on the broker; the logger said it was online, then offline.
    QTRY_COMPARE_WITH_TIMEOUT(
        subscriber.payloads("status"), (QStringList { "online", "offline" }), LongWaitMs);
    QCOMPARE(subscriber.payloads("last").last(), messages.last());
    QProcess retained;
    retained.start(findProgram(QStringLiteral("mosquitto_sub")),
        { "-h", "127.0.0.1", "-p", QString::number(broker.port()), "-C", "2", "-t", "plant/+/last",
            "-t", "plant/+/status" });
    QVERIFY(retained.waitForFinished(LongWaitMs));
    QCOMPARE(QString::fromUtf8(retained.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
        (QStringList { messages.last(), "offline" }));

    const QHash<QString, qint64> figures = logger.status();
    QCOMPARE(figures.value("received"), sent.texts.size());
    QCOMPARE(figures.value("written"), sent.texts.size());
    QCOMPARE(figures.value("published"), sent.texts.size());
    QCOMPARE(figures.value("queued"), 0);
    QCOMPARE(figures.value("dropped"), 0);
    QCOMPARE(figures.value("damaged frames"), sent.damaged);

    // The session file stands alone after the end, read as the window reads it: one item with
    // the same readings.
    QVERIFY(!QFile::exists(session + QStringLiteral("-journal")));
    SessionReader reader;
    std::vector<LoadedItem> items;
    QVERIFY2(reader.open(session) && reader.readAll(&items), qPrintable(reader.errorString()));
    QCOMPARE(int(items.size()), 1);
    QCOMPARE(items.front().record.name, QStringLiteral("Pump 3"));
    QCOMPARE(items.front().record.unit, QStringLiteral("mm"));
    QCOMPARE(int(items.front().readings.size()), messages.size());
    // And the CSV, as the window's Import reads it.
    LoadedItem imported;
    QString error;
    QVERIFY2(CsvImport::read(csv, &imported, &error), qPrintable(error));
    QCOMPARE(int(imported.readings.size()), messages.size());
    for (int i = 0; i < messages.size(); ++i) {
        const QJsonObject message = object(messages.at(i));
        const QDateTime time
            = QDateTime::fromString(message.value("time").toString(), Qt::ISODateWithMs);
        const DmmData& stored = *items.front().readings[size_t(i)];
        QCOMPARE(stored.dateTime().toMSecsSinceEpoch(), time.toMSecsSinceEpoch());
        QCOMPARE(stored.dateTime().offsetFromUtc(), time.offsetFromUtc());
        QCOMPARE(stored.texts(), QStringList { message.value("text").toString() });
        QCOMPARE(stored.value(0), message.value("value").toDouble());
        QCOMPARE(stored.detection(), message.value("detection").toString());
        QCOMPARE(stored.battery(), message.value("battery").toInt());
        QVERIFY(stored.status0() && !stored.status1() && stored.status2() && !stored.status3());
        const DmmData& row = *imported.readings[size_t(i)];
        // The file keeps the logger's local time to the millisecond.
        QCOMPARE(row.dateTime().toString("yyyy-MM-dd'T'HH:mm:ss.zzz"),
            message.value("time").toString().left(23));
        QCOMPARE(row.text(0), message.value("text").toString());
        QCOMPARE(row.unit().text, QStringLiteral("mm"));
        QCOMPARE(row.band(), QStringLiteral("10-500Hz"));
        QVERIFY(!row.fromStore());
    }
}

void LoggerTest::brokerAwayLosesNothing()
{
    if (!haveBroker())
        QSKIP(noBroker);
    Broker broker;
    QVERIFY2(broker.start(dir->path(), true), qPrintable(broker.log()));
    Subscriber subscriber;
    QVERIFY(subscriber.start(
        broker.port(), QStringLiteral("vibview/+/reading"), QStringLiteral("restart-check")));
    MeterSim sim;
    QVERIFY2(
        !sim.start({ "--period", "20", "--sequence", "ramp", "--live-count", "600" }).isEmpty(),
        qPrintable(sim.errorText()));
    LoggerRun logger;
    logger.start({ "--port", sim.portPath(), "--mqtt",
        QStringLiteral("127.0.0.1:%1").arg(broker.port()), "--status-interval", "100" });
    QTRY_VERIFY_WITH_TIMEOUT(subscriber.payloads("reading").size() >= 20, LongWaitMs);

    // The broker goes away for about five seconds of readings (250 at 50 a second).
    broker.stop();
    QVERIFY(!logger.waitFor(QRegularExpression("the broker at .* is unreachable")).isEmpty());
    QVERIFY2(
        logger.waitForStatus(QStringLiteral("queued"), 250), qPrintable(logger.lines.join('\n')));
    QVERIFY2(broker.restart(), qPrintable(broker.log()));

    QVERIFY(!sim.waitForLine(QStringLiteral("live: 600 ")).isEmpty());
    const QStringList sent = sentBy(sim).texts;
    QCOMPARE(sent.size(), 600);
    QTRY_COMPARE_WITH_TIMEOUT(
        firstArrivals(subscriber.payloads("reading")).size(), sent.size(), LongWaitMs);
    QCOMPARE(logger.end(SIGTERM), 0);
    QCOMPARE(textsOf(firstArrivals(subscriber.payloads("reading"))), sent);
    const QHash<QString, qint64> figures = logger.status();
    QCOMPARE(figures.value("received"), 600);
    QCOMPARE(figures.value("published"), 600);
    QCOMPARE(figures.value("queued"), 0);
    QCOMPARE(figures.value("dropped"), 0);
}

void LoggerTest::meterUnpluggedAndBack()
{
    // The logger is told a fixed name, as a udev rule gives the meter's adapter; behind it is
    // the simulator's terminal, and after the replug another one.
    const QString link = dir->filePath(QStringLiteral("meter"));
    MeterSim first;
    QVERIFY2(!first.start({ "--period", "20", "--quiet", "--text", "1.11" }).isEmpty(),
        qPrintable(first.errorText()));
    QVERIFY(QFile::link(first.portPath(), link));
    const QString csv = dir->filePath(QStringLiteral("replug.csv"));
    const QString session = dir->filePath(QStringLiteral("replug.vibview"));
    LoggerRun logger;
    logger.start(
        { "--port", link, "--csv", csv, "--session", session, "--status-interval", "100" });
    QVERIFY2(
        logger.waitForStatus(QStringLiteral("received"), 10), qPrintable(logger.lines.join('\n')));

    first.stop();
    QVERIFY(!logger
                 .waitFor(QRegularExpression("the meter on .*meter was lost; waiting for it to "
                                             "come back"))
                 .isEmpty());
    // Nothing comes in while the meter is away: the next status line has the count before.
    const int lostAt = logger.lines.size();
    QVERIFY(QTest::qWaitFor([&] { return !logger.status(lostAt).isEmpty(); }, LongWaitMs));
    const qint64 before = logger.status(lostAt).value("received");
    MeterSim second;
    QVERIFY2(!second.start({ "--period", "20", "--quiet", "--text", "98.76" }).isEmpty(),
        qPrintable(second.errorText()));
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(second.portPath(), link));
    QVERIFY(!logger.waitFor(QRegularExpression("the meter is back on .*meter$")).isEmpty());
    QVERIFY(logger.waitForStatus(QStringLiteral("received"), before + 10));
    QCOMPARE(logger.end(SIGINT), 0);

    const qint64 received = logger.status().value("received");
    QCOMPARE(logger.status().value("written"), received);
    LoadedItem imported;
    QString error;
    QVERIFY2(CsvImport::read(csv, &imported, &error), qPrintable(error));
    QCOMPARE(qint64(imported.readings.size()), received);
    SessionReader reader;
    std::vector<LoadedItem> items;
    QVERIFY2(reader.open(session) && reader.readAll(&items), qPrintable(reader.errorString()));
    QCOMPARE(qint64(items.front().readings.size()), received);
    // The first meter's readings, then the second's; the file numbers them on without a gap.
    QStringList texts;
    for (const auto& reading : imported.readings)
        texts << reading->text(0).trimmed();
    const int switchAt = texts.indexOf(QStringLiteral("98.76"));
    QCOMPARE(switchAt, int(before));
    QCOMPARE(texts.mid(0, switchAt).removeDuplicates(), switchAt - 1);
    QCOMPARE(texts.first(), QStringLiteral("1.11"));
    QCOMPARE(texts.mid(switchAt).removeDuplicates(), texts.size() - switchAt - 1);
    for (size_t i = 0; i < items.front().readings.size(); ++i)
        QCOMPARE(items.front().readings[i]->text(0).trimmed(), texts.at(int(i)));
}

QTEST_GUILESS_MAIN(LoggerTest)
#include "tst_logger.moc"

// vibview-logger recording every reading the meter simulator sends at the serial line's rate into
// all three outputs (a session file, a CSV file and a mosquitto broker on the loopback address,
// started here), and a subscriber on that broker. Prints
//   logger_cpu_percent_line_rate: the logger's CPU time over its run, as a share of one core;
//   mqtt_publish_latency_ms_p99: from the reading's time stamp (taken when the logger decoded it)
//   to its arrival at the subscriber, the 99th percentile.

#include "cpuseconds.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// 100 frames a second, the closest the simulator comes to the line's 96 from above.
constexpr int periodMs = 10;
constexpr int durationS = 30;

// Reads the process's lines until one contains text (or the process has nothing more to say).
QString waitForLine(QProcess& process, const QByteArray& text)
{
    while (process.canReadLine() || process.waitForReadyRead(20000)) {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine().trimmed();
            if (line.contains(text))
                return QString::fromLocal8Bit(line);
        }
    }
    return QString();
}

// A port nothing listens on now, on the loopback address.
quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

int fail(const char* what)
{
    std::fprintf(stderr, "bench_logger: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString mosquitto
        = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), { "/usr/sbin", "/usr/bin" });
    const QString subscriber = QStandardPaths::findExecutable(QStringLiteral("mosquitto_sub"));
    if (mosquitto.isEmpty() || subscriber.isEmpty())
        return fail(
            "mosquitto and mosquitto_sub are not installed (scripts/deps.sh installs them)");
    QTemporaryDir dir;
    if (!dir.isValid())
        return fail("no temporary folder");

    const quint16 port = freePort();
    QFile config(dir.filePath(QStringLiteral("broker.conf")));
    if (port == 0 || !config.open(QIODevice::WriteOnly)
        || config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                       "persistence false\n")
                            .arg(port)
                            .toUtf8())
            < 0)
        return fail("cannot configure the broker");
    config.close();
    QProcess broker;
    broker.setReadChannel(QProcess::StandardError);
    broker.start(mosquitto, { "-c", config.fileName() });
    if (waitForLine(broker, " running").isEmpty())
        return fail("the broker did not start");

    QProcess sim;
    sim.start(QStringLiteral(METERSIM_PATH),
        { "--period", QString::number(periodMs), "--sequence", "ramp", "--quiet" });
    const QString simPort = waitForLine(sim, "port: ").mid(6);
    if (simPort.isEmpty())
        return fail("the meter simulator did not start");

    // Subscribed before the logger publishes; each message with the time it arrived. Into a file:
    // a pipe nobody reads while the logger runs would fill and hold the subscriber up.
    const QString received = dir.filePath(QStringLiteral("received.txt"));
    QProcess sub;
    sub.setStandardOutputFile(received);
    sub.start(QStringLiteral("stdbuf"),
        { "-oL", subscriber, "-h", "127.0.0.1", "-p", QString::number(port), "-q", "1", "-d", "-t",
            "bench/+/reading", "-F", "%U %p" });
    QFile output(received);
    QElapsedTimer subscribing;
    subscribing.start();
    while (!(output.open(QIODevice::ReadOnly) && output.readAll().contains("received SUBACK"))) {
        output.close();
        if (subscribing.hasExpired(20000))
            return fail("the subscriber did not subscribe");
        QThread::msleep(50);
    }
    output.close();

    const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer wall;
    wall.start();
    QProcess logger;
    logger.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    logger.start(QStringLiteral(LOGGER_PATH),
        { "--port", simPort, "--session", dir.filePath(QStringLiteral("bench.vibview")), "--csv",
            dir.filePath(QStringLiteral("bench.csv")), "--mqtt",
            QStringLiteral("127.0.0.1:%1").arg(port), "--topic", "bench", "--duration",
            QString::number(durationS) });
    if (!logger.waitForFinished((durationS + 60) * 1000) || logger.exitCode() != 0)
        return fail("the logger did not end cleanly");
    // The logger has been waited for, so its CPU time is now among the children's.
    const double cpu = cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    const double seconds = wall.elapsed() / 1000.0;

    // The logger ended after its last reading was confirmed by the broker, which passes it on
    // within moments; the subscriber then ends with its output written.
    QThread::msleep(1000);
    sub.terminate();
    sub.waitForFinished();
    if (!output.open(QIODevice::ReadOnly))
        return fail("the subscriber's output is missing");
    std::vector<double> latencies;
    while (!output.atEnd()) {
        const QByteArray line = output.readLine().trimmed();
        const int space = line.indexOf(' ');
        bool isTime = false;
        const double arrived = line.left(space).toDouble(&isTime);
        if (space < 0 || !isTime)
            continue; // a debug line
        const QJsonObject reading = QJsonDocument::fromJson(line.mid(space + 1)).object();
        const QDateTime stamped = QDateTime::fromString(
            reading.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
        if (stamped.isValid())
            latencies.push_back(arrived * 1000.0 - double(stamped.toMSecsSinceEpoch()));
    }
    sim.kill();
    broker.kill();
    sim.waitForFinished();
    broker.waitForFinished();
    if (latencies.size() < size_t(durationS * 50))
        return fail("too few readings reached the subscriber");
    std::sort(latencies.begin(), latencies.end());
    const double p99 = latencies.at(std::min(latencies.size() - 1, latencies.size() * 99 / 100));

    std::printf("logger_cpu_percent_line_rate: %.2f %%\n", 100.0 * cpu / seconds);
    std::printf("logger_readings_published: %zu readings\n", latencies.size());
    std::printf("mqtt_publish_latency_ms_p99: %.1f ms\n", p99);
    return 0;
}

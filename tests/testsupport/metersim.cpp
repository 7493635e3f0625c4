#include "metersim.h"

#include <QFileInfo>
#include <QTest>

MeterSim::MeterSim(QObject* parent)
    : QObject(parent)
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    connect(&process, &QProcess::readyReadStandardOutput, this, &MeterSim::readOutput);
}

MeterSim::~MeterSim()
{
    stop();
}

QString MeterSim::program()
{
    return QStringLiteral(METERSIM_PATH);
}

QString MeterSim::start(const QStringList& arguments, int timeoutMs)
{
    stop();
    output.clear();
    partial.clear();
    path.clear();
    error.clear();
    const QString binary = program();
    if (binary.isEmpty() || !QFileInfo(binary).isExecutable()) {
        error = QStringLiteral("metersim is not built");
        return QString();
    }
    process.start(binary, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        error = process.errorString();
        return QString();
    }
    const QString line = waitForLine(QStringLiteral("port: "), timeoutMs);
    if (line.isEmpty()) {
        error = QStringLiteral("metersim printed no port: %1")
                    .arg(QString::fromLocal8Bit(process.readAllStandardError()));
        stop();
        return QString();
    }
    path = line.mid(6).trimmed();
    return path;
}

int MeterSim::countLines(const QString& prefix) const
{
    int count = 0;
    for (const QString& line : output) {
        if (line.startsWith(prefix))
            ++count;
    }
    return count;
}

QString MeterSim::waitForLine(const QString& prefix, int timeoutMs, int from)
{
    QString found;
    const auto look = [&]() {
        readOutput();
        for (int i = qMax(0, from); i < output.size(); ++i) {
            if (output.at(i).startsWith(prefix)) {
                found = output.at(i);
                return true;
            }
        }
        return false;
    };
    return QTest::qWaitFor(look, timeoutMs) ? found : QString();
}

bool MeterSim::waitForExit(int timeoutMs)
{
    if (process.state() == QProcess::NotRunning)
        return true;
    // Keeps the event loop running, so the code under test sees the unplug while we wait.
    const bool exited
        = QTest::qWaitFor([this]() { return process.state() == QProcess::NotRunning; }, timeoutMs);
    readOutput();
    return exited;
}

void MeterSim::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
    readOutput();
}

void MeterSim::readOutput()
{
    partial.append(process.readAllStandardOutput());
    int end;
    while ((end = partial.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(partial.left(end));
        partial.remove(0, end + 1);
        output.append(line);
        emit lineReceived(line);
    }
}

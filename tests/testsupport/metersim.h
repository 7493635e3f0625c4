#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>

// A running meter simulator (tools/metersim) for tests: starts it, hands out the pseudo-terminal
// it plays the meter on, collects what it prints and stops it when the fixture goes away.
class MeterSim : public QObject
{
    Q_OBJECT

public:
    // Generous: a loaded machine may take long, and a wait that succeeds ends at once.
    static constexpr int DefaultTimeoutMs = 30000;

    explicit MeterSim(QObject* parent = nullptr);
    ~MeterSim() override;

    // Path of the metersim binary the build made.
    static QString program();

    // Starts metersim with the given options and waits for its "port: " line. Returns the
    // pseudo-terminal path, or an empty string when it did not start (see errorText()).
    QString start(const QStringList& arguments = {}, int timeoutMs = DefaultTimeoutMs);

    QString portPath() const { return path; }
    bool isRunning() const { return process.state() != QProcess::NotRunning; }

    // Every line printed so far, without line ends.
    QStringList lines() const { return output; }
    int lineCount() const { return output.size(); }
    // Lines starting with prefix among those printed so far.
    int countLines(const QString& prefix) const;

    // Waits for a line starting with prefix at index from or later; returns it, or an empty
    // string when none arrived in time.
    QString waitForLine(const QString& prefix, int timeoutMs = DefaultTimeoutMs, int from = 0);
    // Waits until the simulator has exited on its own (for example after its unplug).
    bool waitForExit(int timeoutMs = DefaultTimeoutMs);

    // Stops the simulator (terminate, then kill); the destructor calls it.
    void stop();

    QString errorText() const { return error; }

signals:
    void lineReceived(const QString& line);

private:
    void readOutput();

    QProcess process;
    QString path;
    QStringList output;
    QByteArray partial;
    QString error;
};

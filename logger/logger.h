#pragma once

#include "loggeroptions.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <memory>

class CsvLog;
class DmmData;
class MqttPublisher;
class MyDmm;
class QTimer;
class Reconnector;
class SessionLog;

// The logger without a window: every live reading of the meter goes into the outputs it was
// given (a session file, a CSV file, an MQTT broker). A lost meter is taken up again when it is
// back; what happens is told on standard error, with a status line at a fixed interval.
class Logger : public QObject
{
    Q_OBJECT

public:
    enum ExitCode { Clean = 0, BadArguments = 2, NoMeter = 3, OutputFailed = 4 };

    // The files are saved this often, so a power failure costs at most this much: within the
    // second they promise, on a precise timer, and no more often, as each save costs a sync.
    static constexpr int SaveIntervalMs = 900;
    // A lost meter is also looked for this often: not every port announces its return (a
    // pseudo-terminal, a system without udev).
    static constexpr int MeterRetryMs = 2000;
    // How long the end waits for the broker to take what is still queued.
    static constexpr int FinishTimeoutMs = 5000;

    explicit Logger(const LoggerOptions& options, QObject* parent = nullptr);
    ~Logger() override;

    // Opens the outputs, then the meter, then the broker connection. Returns Clean, or the exit
    // code of what failed after telling why on standard error.
    int start();
    // Ends cleanly: the files saved and closed, "offline" published; finished() follows.
    void stop(int exitCode = Clean);

    // The meter's name in topics: the adapter's USB serial number, else the port name, with the
    // characters MQTT gives a meaning to ('/', '+', '#') and blanks replaced.
    static QString meterId(const QString& serialNumber, const QString& portName);
    QString statusLine() const;

signals:
    void finished(int exitCode);

private:
    void readingArrived(const DmmData* reading);
    bool saveFiles(QString* problem);
    // An output failed while running: the end follows, with OutputFailed.
    void fail(const QString& message);
    int failStart(int exitCode, const QString& message);
    QString meterFailure() const;
    void durationTick();
    void meterOpened();
    void meterLost();
    void retryMeter();
    void finishNow();
    QString brokerName() const;
    static void say(const QString& text);

    LoggerOptions options;
    std::unique_ptr<SessionLog> session;
    std::unique_ptr<CsvLog> csv;
    std::unique_ptr<MyDmm> dmm;
    Reconnector* reconnector = nullptr;
    MqttPublisher* publisher = nullptr;
    QTimer* saveTimer;
    QTimer* statusTimer;
    QTimer* durationTimer;
    QTimer* meterRetry;
    QDeadlineTimer deadline;
    QString portName;
    QString id;

    qint64 received = 0;
    qint64 written = 0;
    int unsaved = 0;
    qint64 damaged = 0;
    int lastDamagedCount = 0;
    bool meterAway = false;
    bool ending = false;
    int failure = Clean;
    int exitCode = Clean;
};

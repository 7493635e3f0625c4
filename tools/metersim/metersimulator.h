#pragma once

#include "simframes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

#include <memory>

class QSocketNotifier;

struct SimOptions
{
    enum class Sequence { Steady, Ramp, Sine };

    int periodMs = 100; // 0: no live frames
    int liveCount = 0; // live frames to send, 0 for no limit
    Sequence sequence = Sequence::Steady;
    QByteArray text = "12.34";
    double from = 0.0;
    double step = 0.01;
    double amplitude = 5.0;
    double offset = 0.0;
    int cycle = 50;
    int decimals = 2;
    SimReading reading;
    int stored = 10;
    double garbageRate = 0.0;
    double badChecksumRate = 0.0;
    int unplugAfterMs = 0; // 0: never
    int flipUnit = 0; // 0: none; else every second live frame carries this unit code
    int badChecksumFrom = 0; // 0: none; else live frames from this number on are damaged
    int pauseAfterStored = 0; // 0: none; else the download pauses after this record
    int pauseMs = 500;
    int strayAtStored = 0; // 0: none; else stray bytes go out before this record
    QByteArray strayBytes;
    int unplugAfterStored = 0; // 0: never; else unplug while the client reads up to this record
    quint32 seed = 1;
    bool quiet = false; // no "live:" lines
};

// Plays the meter on the master side of a pseudo-terminal: live readings while a client holds
// the port open, stored readings on "12", and the clock-set command decoded and printed.
class MeterSimulator : public QObject
{
    Q_OBJECT

public:
    explicit MeterSimulator(const SimOptions& options, QObject* parent = nullptr);
    ~MeterSimulator() override;

    // Creates the pseudo-terminal; returns its path, or an empty string with errorText set.
    QString start();
    QString errorText() const { return error; }

    // The value text of live frame number index (0-based), five characters wide.
    static QByteArray sequenceText(const SimOptions& options, int index);

signals:
    void finished(int exitCode);

private:
    void sendLive();
    void sendStored(int first, int last);
    void unplugWhenRead();
    int unreadByClient() const;
    void queue(const QByteArray& bytes);
    void flush();
    void readCommands();
    void handleCommand(const QByteArray& payload);
    void watchClient();
    void unplug();
    bool clientPresent() const;
    // Applies the configured faults; notes what was done in note (" bad-checksum", " garbage").
    QByteArray damaged(QByteArray frame, QString* note);
    void print(const QString& line);

    SimOptions options;
    QString error;
    int master = -1;
    bool clientConnected = false;
    int liveSent = 0;
    int emptyLooks = 0;
    int peakUnread = 0;
    QByteArray outgoing;
    QByteArray incoming;
    QRandomGenerator random;
    QTimer liveTimer;
    QTimer watchTimer;
    std::unique_ptr<QSocketNotifier> readNotifier;
    std::unique_ptr<QSocketNotifier> writeNotifier;
};

#pragma once

#include <QString>
#include <QStringList>

// What the logger was asked to do, from its command line. Every value is checked here, so that a
// mistake ends the program at once with a reason instead of surfacing hours later.
struct LoggerOptions
{
    enum Outcome {
        Run,
        Help, // --help: the text is in message
        Bad, // the reason is in message
    };

    static constexpr int DefaultStatusIntervalMs = 60000;
    static constexpr int DefaultMqttPort = 1883;
    static constexpr int DefaultMqttTlsPort = 8883;

    QString port; // empty: find the meter by its USB identifiers
    int interval = 0; // ms between readings taken; 0 takes every reading
    qint64 duration = 0; // seconds; 0 runs until stopped

    QString sessionFile;
    QString itemName = QStringLiteral("Logger");
    QString csvFile;

    QString mqttHost; // empty: no broker
    int mqttPort = DefaultMqttPort;
    QString topic = QStringLiteral("vibview");
    QString clientId; // empty: made from the meter's id
    QString username;
    QString password;
    bool hasPassword = false;
    QString tlsCa;

    int statusIntervalMs = DefaultStatusIntervalMs;

    // Parses the arguments (the program name first); on Help and Bad, message says what to print.
    static Outcome parse(const QStringList& arguments, LoggerOptions* options, QString* message);
};

#include "loggeroptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

namespace {

// A whole number within limits, or false.
bool toNumber(const QString& text, qint64 low, qint64 high, qint64* value)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok);
    if (!ok || number < low || number > high)
        return false;
    *value = number;
    return true;
}

// HOST, HOST:PORT, [IPv6] or [IPv6]:PORT.
bool splitHostPort(const QString& text, QString* host, int* port, bool* hasPort)
{
    QString rest;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        *host = text.mid(1, close - 1);
        rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return false;
    } else {
        const int colon = text.indexOf(QLatin1Char(':'));
        // A second colon is an IPv6 address without brackets: no port can follow it.
        if (colon >= 0 && text.indexOf(QLatin1Char(':'), colon + 1) < 0) {
            *host = text.left(colon);
            rest = text.mid(colon);
        } else {
            *host = text;
        }
    }
    if (host->isEmpty())
        return false;
    *hasPort = !rest.isEmpty();
    if (!*hasPort)
        return true;
    qint64 number = 0;
    if (!toNumber(rest.mid(1), 1, 65535, &number))
        return false;
    *port = int(number);
    return true;
}

QString readable(const QString& fileName, QString* contents)
{
    QFile file(fileName);
    if (QFileInfo(fileName).isDir())
        return QStringLiteral("it is a folder");
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    if (contents)
        *contents = QString::fromUtf8(file.readAll());
    return QString();
}

} // namespace

LoggerOptions::Outcome LoggerOptions::parse(
    const QStringList& arguments, LoggerOptions* options, QString* message)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Logs the readings of a VK418E vibration meter without a window: into a session file, a "
        "CSV file and/or an MQTT broker.\n\n"
        "Exit status: 0 after a clean end (--duration elapsed, SIGINT or SIGTERM), 2 for bad "
        "arguments, 3 when the meter cannot be opened, 4 when an output cannot be written."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") },
        QStringLiteral("Shows this help and exits."));
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("The meter's serial port (default: found by its USB identifiers)."),
        QStringLiteral("PATH"));
    const QCommandLineOption interval(QStringLiteral("interval"),
        QStringLiteral("Takes at most one reading per MS milliseconds (default 0: every "
                       "reading)."),
        QStringLiteral("MS"));
    const QCommandLineOption duration(QStringLiteral("duration"),
        QStringLiteral("Ends after SECONDS (default: runs until stopped)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption session(QStringLiteral("session"),
        QStringLiteral("Writes every reading into this vibview session file (created, or "
                       "added to), committed at least once a second."),
        QStringLiteral("FILE.vibview"));
    const QCommandLineOption item(QStringLiteral("item"),
        QStringLiteral("Name of the session file's item (default \"Logger\")."),
        QStringLiteral("NAME"));
    const QCommandLineOption csv(QStringLiteral("csv"),
        QStringLiteral("Appends every reading to this CSV file in vibview's export format, "
                       "flushed at least once a second."),
        QStringLiteral("FILE"));
    const QCommandLineOption mqtt(QStringLiteral("mqtt"),
        QStringLiteral("Publishes every reading to this MQTT broker (port 1883, or 8883 with "
                       "--tls-ca)."),
        QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption topic(QStringLiteral("topic"),
        QStringLiteral("Topic prefix: readings go to PREFIX/<meter id>/reading, the last one "
                       "also to .../last, the logger's state to .../status (default "
                       "\"vibview\")."),
        QStringLiteral("PREFIX"));
    const QCommandLineOption clientId(QStringLiteral("client-id"),
        QStringLiteral("MQTT client identifier (default vibview-logger-<meter id>)."),
        QStringLiteral("ID"));
    const QCommandLineOption username(QStringLiteral("username"),
        QStringLiteral("User name at the broker."), QStringLiteral("NAME"));
    const QCommandLineOption passwordFile(QStringLiteral("password-file"),
        QStringLiteral("File whose first line is the password at the broker."),
        QStringLiteral("FILE"));
    const QCommandLineOption tlsCa(QStringLiteral("tls-ca"),
        QStringLiteral("Connects with TLS, trusting the certificate authorities in FILE (PEM)."),
        QStringLiteral("FILE"));
    QCommandLineOption hiddenStatusInterval(QStringLiteral("status-interval"),
        QStringLiteral("Milliseconds between status lines (default 60000)."), QStringLiteral("MS"));
    hiddenStatusInterval.setFlags(QCommandLineOption::HiddenFromHelp);
    const QCommandLineOption& statusInterval = hiddenStatusInterval;
    parser.addOptions({ help, port, interval, duration, session, item, csv, mqtt, topic, clientId,
        username, passwordFile, tlsCa, statusInterval });

    auto bad = [message](const QString& reason) {
        *message = reason;
        return Bad;
    };
    if (!parser.parse(arguments))
        return bad(parser.errorText());
    if (parser.isSet(help)) {
        *message = parser.helpText();
        return Help;
    }
    if (!parser.positionalArguments().isEmpty())
        return bad(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    for (const QCommandLineOption* option : { &port, &interval, &duration, &session, &item, &csv,
             &mqtt, &topic, &clientId, &username, &passwordFile, &tlsCa, &statusInterval }) {
        if (parser.values(*option).size() > 1)
            return bad(QStringLiteral("--%1 is given more than once").arg(option->names().first()));
        if (parser.isSet(*option) && parser.value(*option).isEmpty())
            return bad(QStringLiteral("--%1 needs a value").arg(option->names().first()));
    }

    LoggerOptions result;
    result.port = parser.value(port);
    qint64 number = 0;
    if (parser.isSet(interval)) {
        if (!toNumber(parser.value(interval), 0, 3600000, &number))
            return bad(QStringLiteral("--interval takes milliseconds from 0 to 3600000, not "
                                      "\"%1\"")
                           .arg(parser.value(interval)));
        result.interval = int(number);
    }
    if (parser.isSet(duration)) {
        // Ten years is more than any run; the limit keeps the arithmetic on milliseconds exact.
        if (!toNumber(parser.value(duration), 1, 315360000, &number))
            return bad(QStringLiteral("--duration takes whole seconds from 1 on, not \"%1\"")
                           .arg(parser.value(duration)));
        result.duration = number;
    }
    result.sessionFile = parser.value(session);
    if (parser.isSet(item)) {
        if (!parser.isSet(session))
            return bad(QStringLiteral("--item names the item of --session, which is not given"));
        result.itemName = parser.value(item);
    }
    result.csvFile = parser.value(csv);

    if (parser.isSet(mqtt)) {
        bool hasPort = false;
        if (!splitHostPort(parser.value(mqtt), &result.mqttHost, &result.mqttPort, &hasPort))
            return bad(QStringLiteral("--mqtt takes HOST or HOST:PORT (port 1 to 65535), not "
                                      "\"%1\"")
                           .arg(parser.value(mqtt)));
        if (!hasPort && parser.isSet(tlsCa))
            result.mqttPort = DefaultMqttTlsPort;
    } else {
        for (const QCommandLineOption* option :
            { &topic, &clientId, &username, &passwordFile, &tlsCa }) {
            if (parser.isSet(*option))
                return bad(QStringLiteral("--%1 is for the broker, but --mqtt is not given")
                               .arg(option->names().first()));
        }
    }
    if (parser.isSet(topic)) {
        result.topic = parser.value(topic);
        // Wildcards cannot be published to; an empty level at the end would be a different
        // topic from the one a subscriber expects.
        if (result.topic.contains(QLatin1Char('+')) || result.topic.contains(QLatin1Char('#'))
            || result.topic.endsWith(QLatin1Char('/')) || result.topic.contains(QChar(0)))
            return bad(
                QStringLiteral("--topic \"%1\" cannot hold +, # or end with /").arg(result.topic));
    }
    result.clientId = parser.value(clientId);
    result.username = parser.value(username);
    if (parser.isSet(passwordFile)) {
        if (!parser.isSet(username))
            return bad(QStringLiteral("--password-file needs --username"));
        QString contents;
        const QString reason = readable(parser.value(passwordFile), &contents);
        if (!reason.isEmpty())
            return bad(QStringLiteral("--password-file %1 cannot be read: %2")
                           .arg(parser.value(passwordFile), reason));
        result.password = contents.section(QLatin1Char('\n'), 0, 0);
        if (result.password.endsWith(QLatin1Char('\r')))
            result.password.chop(1);
        result.hasPassword = true;
    }
    if (parser.isSet(tlsCa)) {
        result.tlsCa = parser.value(tlsCa);
        const QString reason = readable(result.tlsCa, nullptr);
        if (!reason.isEmpty())
            return bad(QStringLiteral("--tls-ca %1 cannot be read: %2").arg(result.tlsCa, reason));
    }
    if (parser.isSet(statusInterval)) {
        if (!toNumber(parser.value(statusInterval), 10, 86400000, &number))
            return bad(QStringLiteral("--status-interval takes milliseconds from 10 on, not "
                                      "\"%1\"")
                           .arg(parser.value(statusInterval)));
        result.statusIntervalMs = int(number);
    }

    if (result.sessionFile.isEmpty() && result.csvFile.isEmpty() && result.mqttHost.isEmpty())
        return bad(QStringLiteral("nothing to log to: give --session, --csv or --mqtt"));
    *options = result;
    return Run;
}

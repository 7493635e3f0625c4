// The logger's parts that need no meter and no broker: the JSON of a reading as the meter link
// decodes it, the queue that holds readings while the broker is away, the meter's name in topics
// and what the command line means.
#include "dmmdata.h"
#include "framecodec.h"
#include "logger.h"
#include "loggeroptions.h"
#include "publishqueue.h"
#include "readingmessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <memory>

namespace {

// A live reading frame with the given value field and the low nibbles of bytes 13 to 17.
QByteArray frame(
    const QByteArray& value, int band, int status, int unit, int detection, int battery)
{
    QByteArray bytes = QByteArray::fromHex("abcd1400") + value.leftJustified(5, ' ', true)
        + QByteArray("0000") + char(band) + char(status) + char(unit) + char(detection)
        + char(battery);
    const quint16 sum = FrameCodec::checksum(bytes.constData(), bytes.size());
    return bytes + char(sum >> 8) + char(sum & 0xFF);
}

} // namespace

class LoggerPartsTest : public QObject
{
    Q_OBJECT

private slots:
    void json_data();
    void json();
    void localTime_data();
    void localTime();
    void queueDropsTheOldest();
    void meterId_data();
    void meterId();
    void options_data();
    void options();
};

void LoggerPartsTest::json_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("offsetSeconds");
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("numeric, as published")
        << frame(" 7.52", 2, 0, 2, 4, 8) << 3600
        << QByteArray("{\"time\":\"2026-12-08T14:03:05.250+01:00\",\"value\":7.52,\"text\":\" "
                      "7.52\",\"unit\":\"cm/s\",\"detection\":\"Vrms\",\"band\":\"10-1kHz\","
                      "\"state\":\"ok\",\"battery\":3,\"status\":[false,false,false,false]}");
    QTest::newRow("over range, UTC")
        << frame("  OL ", 1, 1, 1, 1, 1) << 0
        << QByteArray("{\"time\":\"2026-12-08T14:03:05.250+00:00\",\"value\":0,\"text\":\"    "
                      "OL\",\"unit\":\"m/S2\",\"detection\":\"Ap\",\"band\":\"10-10kHz\","
                      "\"state\":\"over range\",\"battery\":0,\"status\":[true,false,false,"
                      "false]}");
    QTest::newRow("negative over range, west of UTC")
        << frame(" -OL ", 4, 5, 4, 2, 4) << -(5 * 3600 + 30 * 60)
        << QByteArray("{\"time\":\"2026-12-08T14:03:05.250-05:30\",\"value\":0,\"text\":\"   "
                      "-OL\",\"unit\":\"mm\",\"detection\":\"Dp-p\",\"band\":\"10-500Hz\","
                      "\"state\":\"negative over range\",\"battery\":2,\"status\":[true,false,"
                      "true,false]}");
    QTest::newRow("no reading, every status flag")
        << frame("-----", 2, 15, 2, 4, 2) << 3600
        << QByteArray("{\"time\":\"2026-12-08T14:03:05.250+01:00\",\"value\":0,\"text\":\"----\","
                      "\"unit\":\"cm/s\",\"detection\":\"Vrms\",\"band\":\"10-1kHz\",\"state\":"
                      "\"no reading\",\"battery\":1,\"status\":[true,true,true,true]}");
    QTest::newRow("negative number, unknown codes")
        << frame("-1.23", 0, 0, 0, 0, 0) << 3600
        << QByteArray("{\"time\":\"2026-12-08T14:03:05.250+01:00\",\"value\":-1.23,\"text\":"
                      "\"-1.23\",\"unit\":\"\",\"detection\":\"\",\"band\":\"\",\"state\":\"ok\","
                      "\"battery\":0,\"status\":[false,false,false,false]}");
    QTest::newRow("quote and control byte in the text")
        << frame("1\"2\x01", 2, 0, 2, 4, 8) << 3600
        << QByteArray("{\"time\":\"2026-12-08T14:03:05.250+01:00\",\"value\":0,\"text\":\"1\\\"2"
                      "\\u0001 \",\"unit\":\"cm/s\",\"detection\":\"Vrms\",\"band\":\"10-1kHz\","
                      "\"state\":\"ok\",\"battery\":3,\"status\":[false,false,false,false]}");
}

void LoggerPartsTest::json()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, offsetSeconds);
    QFETCH(QByteArray, json);
    // Decoded as the window decodes it, with the time fixed.
    QString lastUnit;
    const std::unique_ptr<DmmData> reading(FrameCodec::decodeReading(frame, lastUnit));
    QVERIFY(reading);
    reading->setDateTime(
        QDateTime(QDate(2026, 12, 8), QTime(14, 3, 5, 250), Qt::OffsetFromUTC, offsetSeconds));
    const QByteArray text = ReadingMessage::json(*reading);
    QCOMPARE(text, json);

    // Any JSON reader takes it, with the value a number and the time the reading's own.
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(text, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(object.value("value").isDouble());
    QCOMPARE(object.value("value").toDouble(), reading->value(0));
    QCOMPARE(object.value("text").toString(), reading->text(0));
    const QDateTime time
        = QDateTime::fromString(object.value("time").toString(), Qt::ISODateWithMs);
    QCOMPARE(time.toMSecsSinceEpoch(), reading->dateTime().toMSecsSinceEpoch());
    QCOMPARE(time.offsetFromUtc(), offsetSeconds);
    QCOMPARE(object.value("status").toArray().size(), 4);
}

void LoggerPartsTest::localTime_data()
{
    QTest::addColumn<QDateTime>("utc");
    QTest::addColumn<QString>("time");

    // In this order: each row's local time follows the one before, as readings do.
    const QDate spring(2026, 3, 29);
    const QDate autumn(2026, 10, 25);
    QTest::newRow("winter") << QDateTime(spring, QTime(0, 59, 59, 999), Qt::UTC)
                            << "2026-03-29T01:59:59.999+01:00";
    QTest::newRow("clock put forward")
        << QDateTime(spring, QTime(1, 0), Qt::UTC) << "2026-03-29T03:00:00.000+02:00";
    QTest::newRow("summer, the hour that is twice")
        << QDateTime(autumn, QTime(0, 59, 30), Qt::UTC) << "2026-10-25T02:59:30.000+02:00";
    QTest::newRow("clock put back")
        << QDateTime(autumn, QTime(1, 0), Qt::UTC) << "2026-10-25T02:00:00.000+01:00";
    QTest::newRow("summer again, the same minute")
        << QDateTime(autumn, QTime(0, 59, 40), Qt::UTC) << "2026-10-25T02:59:40.000+02:00";
    QTest::newRow("that minute in winter, straight after")
        << QDateTime(autumn, QTime(1, 59, 30, 1), Qt::UTC) << "2026-10-25T02:59:30.001+01:00";
}

void LoggerPartsTest::localTime()
{
    QFETCH(QDateTime, utc);
    // A reading's time is the local time of the system's zone.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QString lastUnit;
    const std::unique_ptr<DmmData> reading(
        FrameCodec::decodeReading(frame(" 7.52", 2, 0, 2, 4, 8), lastUnit));
    QVERIFY(reading);
    reading->setDateTime(utc.toLocalTime());
    const QJsonObject object = QJsonDocument::fromJson(ReadingMessage::json(*reading)).object();
    QTEST(object.value("time").toString(), "time");
    // Pinned to its offset, as the outputs get it: the same instant, shown the same.
    const QDateTime fixed = ReadingMessage::fixedOffset(reading->dateTime());
    QCOMPARE(fixed.toMSecsSinceEpoch(), utc.toMSecsSinceEpoch());
    QTEST(ReadingMessage::time(fixed), "time");
}

void LoggerPartsTest::queueDropsTheOldest()
{
    PublishQueue queue(3);
    for (const char* message : { "1", "2", "3", "4", "5" })
        queue.push(message);
    QCOMPARE(queue.size(), 3);
    QCOMPARE(queue.dropped(), 2);
    QCOMPARE(queue.takeFront(), QByteArray("3"));

    // Sent once and never confirmed: older than all queued, so first out again, or first dropped.
    queue.pushFront({ "a", "b" });
    QCOMPARE(queue.dropped(), 3);
    QStringList order;
    while (!queue.isEmpty())
        order << QString::fromLatin1(queue.takeFront());
    QCOMPARE(order, (QStringList { "b", "4", "5" }));
    QCOMPARE(PublishQueue().capacity(), 100000);
}

void LoggerPartsTest::meterId_data()
{
    QTest::addColumn<QString>("serialNumber");
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("id");

    QTest::newRow("adapter's serial number") << "A5X3K1"
                                             << "ttyUSB0"
                                             << "A5X3K1";
    QTest::newRow("no serial number") << ""
                                      << "ttyUSB0"
                                      << "ttyUSB0";
    QTest::newRow("pseudo-terminal") << ""
                                     << "pts/3"
                                     << "pts_3";
    QTest::newRow("a path") << ""
                            << "/run/meter/line 3"
                            << "run_meter_line_3";
    QTest::newRow("wildcards") << "12+4#"
                               << "ttyUSB0"
                               << "12_4_";
    QTest::newRow("blank serial number") << "  "
                                         << "ttyACM1"
                                         << "ttyACM1";
}

void LoggerPartsTest::meterId()
{
    QFETCH(QString, serialNumber);
    QFETCH(QString, portName);
    QFETCH(QString, id);
    QCOMPARE(Logger::meterId(serialNumber, portName), id);
}

void LoggerPartsTest::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QString>("password");

    QTest::newRow("file outputs only")
        << QStringList { "--csv", "a.csv", "--session", "s.vibview" } << "" << 1883 << "vibview"
        << "";
    QTest::newRow("broker, default port")
        << QStringList { "--mqtt", "broker.plant" } << "broker.plant" << 1883 << "vibview"
        << "";
    QTest::newRow("broker with port and prefix")
        << QStringList { "--mqtt", "10.0.0.5:1884", "--topic", "plant/line3" } << "10.0.0.5" << 1884
        << "plant/line3"
        << "";
    QTest::newRow("TLS, default port") << QStringList { "--mqtt", "broker", "--tls-ca", "@ca.pem" }
                                       << "broker" << 8883 << "vibview"
                                       << "";
    QTest::newRow("TLS, port given")
        << QStringList { "--mqtt", "broker:443", "--tls-ca", "@ca.pem" } << "broker" << 443
        << "vibview"
        << "";
    QTest::newRow("IPv6") << QStringList { "--mqtt", "[::1]:1885" } << "::1" << 1885 << "vibview"
                          << "";
    QTest::newRow("IPv6 without port")
        << QStringList { "--mqtt", "fe80::1" } << "fe80::1" << 1883 << "vibview"
        << "";
    QTest::newRow("password, first line only")
        << QStringList { "--mqtt", "b", "--username", "logger", "--password-file", "@password" }
        << "b" << 1883 << "vibview"
        << "s3cret word";
}

void LoggerPartsTest::options()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile ca(dir.filePath("ca.pem"));
    QVERIFY(ca.open(QIODevice::WriteOnly));
    ca.write("-----BEGIN CERTIFICATE-----\n");
    ca.close();
    QFile password(dir.filePath("password"));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write("s3cret word\r\nsecond line\n");
    password.close();
    for (QString& argument : arguments) {
        if (argument.startsWith('@'))
            argument = dir.filePath(argument.mid(1));
    }

    LoggerOptions options;
    QString message;
    QVERIFY2(LoggerOptions::parse(QStringList { "vibview-logger" } + arguments, &options, &message)
            == LoggerOptions::Run,
        qPrintable(message));
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, topic);
    QCOMPARE(options.mqttHost, host);
    QCOMPARE(options.mqttPort, port);
    QCOMPARE(options.topic, topic);
    QTEST(options.password, "password");
    QCOMPARE(options.hasPassword, arguments.contains("--password-file"));
    // Every reading, until stopped, unless asked otherwise.
    QCOMPARE(options.interval, 0);
    QCOMPARE(options.duration, 0);
    QCOMPARE(options.itemName, QStringLiteral("Logger"));
    QCOMPARE(options.statusIntervalMs, 60000);
}

QTEST_GUILESS_MAIN(LoggerPartsTest)
#include "tst_loggerparts.moc"

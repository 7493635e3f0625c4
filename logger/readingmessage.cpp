#include "readingmessage.h"

#include "dmmdata.h"

#include <QDateTime>

#include <charconv>
#include <cmath>

namespace {

void appendString(QByteArray& out, const QString& text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        const uchar u = uchar(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendNumber(QByteArray& out, double value)
{
    // JSON has no infinity: a text the meter showed as "inf" is no number to publish.
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    // The shortest text that reads back as the same double: 7.52, not 7.5199999999999996.
    char buffer[32];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(result.ptr - buffer));
}

void appendBool(QByteArray& out, bool on)
{
    out += on ? "true" : "false";
}

} // namespace

namespace ReadingMessage {

QString time(const QDateTime& dateTime)
{
    const int offset = dateTime.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return dateTime.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"))
        + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        + QStringLiteral("%1:%2")
              .arg(minutes / 60, 2, 10, QLatin1Char('0'))
              .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString stateWord(int state)
{
    switch (state) {
    case DmmData::Numeric:
        return QStringLiteral("ok");
    case DmmData::OverRange:
        return QStringLiteral("over range");
    case DmmData::NegativeOverRange:
        return QStringLiteral("negative over range");
    case DmmData::NoReading:
        return QStringLiteral("no reading");
    }
    return QString::number(state);
}

QByteArray json(const DmmData& reading)
{
    QByteArray out;
    out.reserve(200);
    out += "{\"time\":";
    if (reading.dateTime().isValid())
        appendString(out, time(reading.dateTime()));
    else
        out += "null";
    out += ",\"value\":";
    appendNumber(out, reading.value(0));
    out += ",\"text\":";
    appendString(out, reading.text(0));
    out += ",\"unit\":";
    appendString(out, reading.unit().text);
    out += ",\"detection\":";
    appendString(out, reading.detection());
    out += ",\"band\":";
    appendString(out, reading.band());
    out += ",\"state\":";
    appendString(out, stateWord(reading.state()));
    out += ",\"battery\":";
    out += QByteArray::number(reading.battery());
    out += ",\"status\":[";
    appendBool(out, reading.status0());
    out += ',';
    appendBool(out, reading.status1());
    out += ',';
    appendBool(out, reading.status2());
    out += ',';
    appendBool(out, reading.status3());
    out += "]}";
    return out;
}

} // namespace ReadingMessage

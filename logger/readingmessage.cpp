#include "readingmessage.h"

#include "dmmdata.h"
#include "timetext.h"

#include <QDateTime>

#include <charconv>
#include <cmath>
#include <limits>

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

// The offset from UTC of a local time. Asking for it converts to UTC, which reads the zone file
// every time; the offset only changes between two minutes, so it is asked once per minute of
// readings. The hour that the end of summer time repeats has the same minutes with another
// offset: whether summer time is on is part of the key (the local time knows it already).
int offsetFromUtc(const QDateTime& dateTime)
{
    if (dateTime.timeSpec() != Qt::LocalTime)
        return dateTime.offsetFromUtc();
    thread_local qint64 cachedMinute = std::numeric_limits<qint64>::min();
    thread_local int cachedOffset = 0;
    const qint64 minute
        = (dateTime.date().toJulianDay() * 1440 + dateTime.time().msecsSinceStartOfDay() / 60000)
            * 2
        + (dateTime.isDaylightTime() ? 1 : 0);
    if (minute != cachedMinute) {
        cachedOffset = dateTime.offsetFromUtc();
        cachedMinute = minute;
    }
    return cachedOffset;
}

void appendTime(QByteArray& out, const QDateTime& dateTime)
{
    TimeText::append(out, dateTime, 'T');
    const int offset = offsetFromUtc(dateTime);
    const int minutes = qAbs(offset) / 60;
    out += offset < 0 ? '-' : '+';
    TimeText::appendDigits(out, minutes / 60, 2);
    out += ':';
    TimeText::appendDigits(out, minutes % 60, 2);
}

} // namespace

namespace ReadingMessage {

QDateTime fixedOffset(const QDateTime& dateTime)
{
    if (dateTime.timeSpec() != Qt::LocalTime || !dateTime.isValid())
        return dateTime;
    const int offset = offsetFromUtc(dateTime);
    const qint64 wallMs = QDateTime(dateTime.date(), dateTime.time(), Qt::UTC).toMSecsSinceEpoch();
    return QDateTime::fromMSecsSinceEpoch(wallMs - offset * 1000LL, Qt::OffsetFromUTC, offset);
}

QString time(const QDateTime& dateTime)
{
    QByteArray text;
    appendTime(text, dateTime);
    return QString::fromLatin1(text);
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
    if (reading.dateTime().isValid()) {
        out += '"';
        appendTime(out, reading.dateTime());
        out += '"';
    } else
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

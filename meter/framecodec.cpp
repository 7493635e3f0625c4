#include "framecodec.h"

#include "dmmdata.h"

#include <QDateTime>
#include <QLoggingCategory>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

// Off unless asked for (QT_LOGGING_RULES="vibview.meter.frames.debug=true"): a line per stored
// frame is for whoever debugs the link, not for every user's console.
Q_LOGGING_CATEGORY(lcMeterFrames, "vibview.meter.frames", QtInfoMsg)

namespace {

using namespace FrameCodec;

// Packed BCD: tens in the high nibble, units in the low one, wrapped to a byte as the meter
// expects.
char bcd(int v)
{
    return char(((v / 10) * 16 + v % 10) & 0xFF);
}

// The local time of now. Converting to local time reads the zone file each time, so readings
// decoded within the same millisecond share one conversion.
QDateTime localNow()
{
    thread_local qint64 cachedMs = -1;
    thread_local QDateTime cached;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    if (ms != cachedMs) {
        cached = QDateTime::fromMSecsSinceEpoch(ms);
        cachedMs = ms;
    }
    return cached;
}

// Now, with the local zone's offset from UTC. The offset only changes between two minutes, so
// the zone is asked once a minute instead of for every reading.
QDateTime fixedOffsetNow()
{
    thread_local qint64 cachedMinute = std::numeric_limits<qint64>::min();
    thread_local int offset = 0;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 minute = ms >= 0 ? ms / 60000 : (ms - 59999) / 60000;
    if (minute != cachedMinute) {
        offset = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
        cachedMinute = minute;
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset);
}

// The value field read as a decimal number with a point, blanks around it ignored; anything
// else (including text that only starts like a number) is 0.0. Independent of the user's
// locale.
double parseNumber(const char* text, int size)
{
    const char* begin = text;
    const char* end = text + size;
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
    if (begin < end && *begin == '+')
        ++begin;
    if (begin == end || !(std::isdigit(uchar(*begin)) || *begin == '.' || *begin == '-'))
        return 0.0;
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return 0.0;
    return value;
}

int nibble(const QByteArray& frame, int offset)
{
    return uchar(frame.at(offset)) & 0x0F;
}

// Position of the next data header after the first byte, or -1.
int nextHeader(const QByteArray& buffer)
{
    const char* data = buffer.constData();
    const int size = buffer.size();
    for (int i = 1; i + 1 < size; ++i) {
        if (data[i] == DataHeader0 && data[i + 1] == DataHeader1)
            return i;
    }
    return -1;
}

// Drops bytes up to the next data header; a trailing 0xAB may be the start of one, so it stays.
void resynchronise(QByteArray& buffer)
{
    const int next = nextHeader(buffer);
    if (next > 0)
        buffer.remove(0, next);
    else if (buffer.endsWith(DataHeader0) && buffer.size() > 1)
        buffer.remove(0, buffer.size() - 1);
    else
        buffer.clear();
}

QString bandText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("10-10kHz");
    case 2:
        return QStringLiteral("10-1kHz");
    case 4:
        return QStringLiteral("10-500Hz");
    default:
        return QString();
    }
}

QString detectionText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("Ap");
    case 2:
        return QStringLiteral("Dp-p");
    case 4:
        return QStringLiteral("Vrms");
    default:
        return QString();
    }
}

} // namespace

namespace FrameCodec {

QByteArray downloadPayload()
{
    return QByteArrayLiteral("12");
}

QByteArray command10Payload()
{
    return QByteArrayLiteral("10");
}

QByteArray clockSetPayload(const QDateTime& dateTime)
{
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    QByteArray payload;
    payload.reserve(7);
    payload.append('0');
    // The year byte is (year + 48) mod 256, i.e. year - 2000 for the meter's two-digit clock.
    payload.append(bcd((date.year() + 48) & 0xFF));
    payload.append(bcd(date.month()));
    payload.append(bcd(date.day()));
    payload.append(bcd(time.hour()));
    payload.append(bcd(time.minute()));
    payload.append(bcd(time.second()));
    return payload;
}

quint16 checksum(const char* bytes, int count)
{
    quint16 sum = 0;
    for (int i = 0; i < count; ++i)
        sum = quint16(sum + uchar(bytes[i]));
    return sum;
}

QByteArray commandFrame(const QByteArray& payload)
{
    QByteArray frame;
    frame.reserve(payload.size() + 5);
    frame.append(CommandHeader0);
    frame.append(CommandHeader1);
    // A command's length byte counts what follows it: payload and checksum.
    frame.append(char((payload.size() + 2) & 0xFF));
    frame.append(payload);
    const quint16 sum = checksum(frame.constData(), frame.size());
    frame.append(char(sum >> 8));
    frame.append(char(sum & 0xFF));
    return frame;
}

bool takeFrame(QByteArray& buffer, QByteArray& frame, int* damaged)
{
    const auto drop = [&buffer, damaged]() {
        if (damaged)
            ++*damaged;
        resynchronise(buffer);
    };
    for (;;) {
        if (buffer.size() < TypeOffset + 1)
            return false;
        const char* data = buffer.constData();
        const bool header = data[0] == DataHeader0 && data[1] == DataHeader1;
        const int length = uchar(data[2]);
        const int type = uchar(data[TypeOffset]);
        // A reading frame is 20 bytes: a damaged length byte is known once the type is in,
        // rather than after waiting for up to 255 bytes that hold the frames behind it.
        if (header && (type == LiveReading || type == StoredReading)
            && length != ReadingFrameLength) {
            drop();
            continue;
        }
        if (buffer.size() < HeaderLength)
            return false;
        if (!header) {
            resynchronise(buffer);
            continue;
        }
        // A length that cannot hold its own checksum is as bad as a wrong header.
        if (length < MinDataFrameLength) {
            drop();
            continue;
        }
        if (buffer.size() < length)
            return false;
        const quint16 expected = quint16((uchar(data[length - 2]) << 8) | uchar(data[length - 1]));
        if (checksum(data, length - 2) != expected) {
            if (damaged)
                ++*damaged;
            // Drop one byte only: a damaged length must not swallow the good frames behind it.
            buffer.remove(0, 1);
            continue;
        }
        frame = buffer.left(length);
        buffer.remove(0, length);
        return true;
    }
}

void pinTimeZone()
{
    if (!qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", ":/etc/localtime");
        tzset();
    }
}

int batteryLevel(int bits)
{
    bits &= 0x0F;
    if (bits & 0x8)
        return 3;
    if (bits & 0x4)
        return 2;
    if (bits & 0x2)
        return 1;
    return 0;
}

DmmData* decodeReading(const QByteArray& frame, QString& lastUnitText, Stamp stamp)
{
    if (frame.size() != ReadingFrameLength)
        return nullptr;
    const int type = uchar(frame.at(3));
    if (type != LiveReading && type != StoredReading)
        return nullptr;

    auto* data = new DmmData;
    data->setBand(bandText(nibble(frame, 13)));

    const int status = nibble(frame, 14);
    data->setStatus0(status & 0x1);
    data->setStatus1(status & 0x2);
    data->setStatus2(status & 0x4);
    data->setStatus3(status & 0x8);

    const int unitCode = nibble(frame, 15);
    switch (unitCode) {
    case 1:
        lastUnitText = QStringLiteral("m/S2");
        break;
    case 2:
        lastUnitText = QStringLiteral("cm/s");
        break;
    case 4:
        lastUnitText = QStringLiteral("mm");
        break;
    default:
        break; // an unknown code keeps the unit the meter showed last
    }
    data->setUnit(unitCode, lastUnitText);

    data->setDetection(detectionText(nibble(frame, 16)));
    data->setBattery(batteryLevel(nibble(frame, 17)));

    // The over-range test looks at six characters (offsets 4 to 9), the number at five.
    const char* t6 = frame.constData() + 4;
    const auto t6Has = [t6](char c) { return std::memchr(t6, c, 6) != nullptr; };
    if (t6Has('L')) {
        const bool negative = t6Has('-');
        data->addText(negative ? QStringLiteral("   -OL") : QStringLiteral("    OL"));
        data->addValue(0.0);
        data->setState(negative ? DmmData::NegativeOverRange : DmmData::OverRange);
    } else if (std::search(t6, t6 + 6, "--", "--" + 2) != t6 + 6) {
        data->addText(QStringLiteral("----"));
        data->addValue(0.0);
        data->setState(DmmData::NoReading);
    } else {
        char field[5];
        for (int i = 0; i < 5; ++i)
            field[i] = t6[i] == '\0' ? ' ' : t6[i];
        data->addText(QString::fromLatin1(field, 5));
        data->addValue(parseNumber(field, 5));
        data->setState(DmmData::Numeric);
    }

    if (type == StoredReading) {
        data->setStoreIndex(nibble(frame, 9) * 1000 + nibble(frame, 10) * 100
            + nibble(frame, 11) * 10 + nibble(frame, 12));
        qCDebug(lcMeterFrames).noquote() << "stored frame" << QString::fromLatin1(frame.toHex());
    }
    data->setDateTime(stamp == Stamp::FixedOffset ? fixedOffsetNow() : localNow());
    data->setFromStore(type == StoredReading);
    return data;
}

} // namespace FrameCodec

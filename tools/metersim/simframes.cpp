#include "simframes.h"

namespace {

quint16 sum(const QByteArray& bytes, int count)
{
    quint32 total = 0;
    for (int i = 0; i < count; ++i)
        total += uchar(bytes.at(i));
    return quint16(total & 0xFFFF);
}

} // namespace

namespace SimFrames {

QByteArray readingFrame(int type, const SimReading& reading)
{
    QByteArray frame(20, '\0');
    frame[0] = char(0xAB);
    frame[1] = char(0xCD);
    frame[2] = char(20);
    frame[3] = char(type);
    const QByteArray text = reading.text.leftJustified(5, ' ', true);
    for (int i = 0; i < 5; ++i)
        frame[4 + i] = text.at(i);
    int record = qBound(0, reading.record, 9999);
    for (int i = 3; i >= 0; --i) {
        frame[9 + i] = char('0' + record % 10);
        record /= 10;
    }
    frame[13] = char(reading.band);
    frame[14] = char(reading.status);
    frame[15] = char(reading.unit);
    frame[16] = char(reading.detection);
    frame[17] = char(reading.batteryBits);
    const quint16 checksum = sum(frame, 18);
    frame[18] = char(checksum >> 8);
    frame[19] = char(checksum & 0xFF);
    return frame;
}

CommandResult takeCommand(QByteArray& buffer, QByteArray& payload)
{
    for (;;) {
        const int start = buffer.indexOf("\xAA\xBB");
        if (start < 0) {
            // Keep a trailing 0xAA: it may begin the next header.
            buffer = buffer.endsWith('\xAA') ? QByteArray("\xAA") : QByteArray();
            return CommandResult::NeedMore;
        }
        buffer.remove(0, start);
        if (buffer.size() < 3)
            return CommandResult::NeedMore;
        // The length byte counts payload and checksum.
        const int length = uchar(buffer.at(2));
        if (length < 2) {
            buffer.remove(0, 2);
            continue;
        }
        const int total = 3 + length;
        if (buffer.size() < total)
            return CommandResult::NeedMore;
        const quint16 expected
            = quint16((uchar(buffer.at(total - 2)) << 8) | uchar(buffer.at(total - 1)));
        const bool good = sum(buffer, total - 2) == expected;
        payload = good ? buffer.mid(3, length - 2) : buffer.left(total);
        buffer.remove(0, good ? total : 2);
        return good ? CommandResult::Command : CommandResult::BadFrame;
    }
}

} // namespace SimFrames

#pragma once

#include <QByteArray>
#include <QString>

class DmmData;
class QDateTime;

// The meter's wire protocol over plain bytes: command frames out, data frames in. No I/O here.
namespace FrameCodec {

enum : int {
    HeaderLength = 5, // header, length byte and type, the least that tells what a frame is
    TypeOffset = 3,
    MinDataFrameLength = 6, // header, length, type and the two checksum bytes
    ReadingFrameLength = 20,
    LiveReading = 0,
    StoredReading = 1,
};

constexpr char CommandHeader0 = char(0xAA);
constexpr char CommandHeader1 = char(0xBB);
constexpr char DataHeader0 = char(0xAB);
constexpr char DataHeader1 = char(0xCD);

// Payloads of the commands the program sends.
QByteArray downloadPayload(); // "12": send the stored readings
QByteArray command10Payload(); // "10": no defined effect on the meter
QByteArray clockSetPayload(const QDateTime& dateTime);

// A command frame around the payload: AA BB, length (payload + 2), payload, 16-bit sum high first.
QByteArray commandFrame(const QByteArray& payload);

// Additive 16-bit sum of the first count bytes.
quint16 checksum(const char* bytes, int count);

// Cuts the next data frame whose checksum matches off the front of buffer, dropping garbage and
// damaged frames on the way. Returns false when the buffer needs more bytes first. Each frame
// dropped after a good header (a length that cannot be right, a wrong checksum) adds one to
// damaged, when given; garbage between frames does not count.
bool takeFrame(QByteArray& buffer, QByteArray& frame, int* damaged = nullptr);

// How a decoded reading carries the time it arrived: as a local time (what the window shows and
// keeps), or with the zone's offset from UTC fixed in it. A local time asks the time zone again
// whenever it is converted; a fixed offset is looked up once a minute and converts for free.
enum class Stamp { LocalTime, FixedOffset };

// Decodes a 20-byte reading frame of type 0 or 1 into a new record owned by the caller; the unit
// text carries over between frames in lastUnitText. Returns null for anything else.
DmmData* decodeReading(
    const QByteArray& frame, QString& lastUnitText, Stamp stamp = Stamp::LocalTime);

// Has the C library read the system's time zone once for the rest of the process (unless TZ
// names one already). Otherwise every local time made or converted checks the zone file again,
// a system call each, several times per reading. A zone changed while the program runs then
// applies from its next start.
void pinTimeZone();

// Index of the highest set bit of the battery nibble (0 for none).
int batteryLevel(int bits);

} // namespace FrameCodec

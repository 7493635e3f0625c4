// The receive side of the meter link: arbitrary chunk sequences through the framing and the
// decoder, and valid frame streams with garbage spliced in.

#include "fuzzinput.h"

#include "dmmdata.h"
#include "framecodec.h"
#include "mydmm.h"

#include <QCoreApplication>
#include <QVector>

#include <memory>

namespace {

quint16 referenceSum(const QByteArray& bytes, int count)
{
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += uchar(bytes.at(i));
    return quint16(sum & 0xFFFF);
}

// What the framing hands out must be a whole data frame whose checksum holds.
void checkFrame(const QByteArray& frame)
{
    FUZZ_CHECK(frame.size() >= FrameCodec::MinDataFrameLength);
    FUZZ_CHECK(uchar(frame.at(0)) == 0xAB && uchar(frame.at(1)) == 0xCD);
    FUZZ_CHECK(uchar(frame.at(2)) == frame.size());
    const int n = frame.size();
    FUZZ_CHECK(
        referenceSum(frame, n - 2) == ((uchar(frame.at(n - 2)) << 8) | uchar(frame.at(n - 1))));
}

// Splits data into chunks whose sizes the input chooses, as a serial port might deliver them.
QVector<QByteArray> chunked(FuzzInput& in, const QByteArray& data)
{
    QVector<QByteArray> chunks;
    int at = 0;
    while (at < data.size()) {
        const int size = 1 + in.byte() % 64;
        chunks << data.mid(at, size);
        at += size;
    }
    return chunks;
}

// Runs chunks through the framing the way the link does; returns the frames in order.
QVector<QByteArray> frameAll(const QVector<QByteArray>& chunks)
{
    QVector<QByteArray> frames;
    QByteArray buffer;
    QByteArray frame;
    QByteArray fed;
    for (const QByteArray& chunk : chunks) {
        buffer.append(chunk);
        fed.append(chunk);
        while (FrameCodec::takeFrame(buffer, frame)) {
            checkFrame(frame);
            // A frame is never stitched together: its bytes arrived in this order.
            FUZZ_CHECK(fed.contains(frame));
            frames << frame;
        }
        // Whatever waits must be less than one longest frame, or garbage could pile up.
        FUZZ_CHECK(buffer.size() < 256 + 64);
    }
    return frames;
}

QVector<QString> decodeAll(const QVector<QByteArray>& frames)
{
    QVector<QString> texts;
    QString unit;
    for (const QByteArray& frame : frames) {
        const std::unique_ptr<DmmData> reading(FrameCodec::decodeReading(frame, unit));
        const int type = uchar(frame.at(3));
        const bool isReading = frame.size() == FrameCodec::ReadingFrameLength
            && (type == FrameCodec::LiveReading || type == FrameCodec::StoredReading);
        FUZZ_CHECK(bool(reading) == isReading);
        if (!reading)
            continue;
        FUZZ_CHECK(reading->fromStore() == (type == FrameCodec::StoredReading));
        FUZZ_CHECK(reading->battery() >= 0 && reading->battery() <= 3);
        texts << reading->text(0);
    }
    return texts;
}

// The same chunks through a fresh link must give the same readings, live ones included.
void checkLink(const QVector<QByteArray>& chunks, const QVector<QString>& expected)
{
    MyDmm link;
    link.setSampleRate(0); // every live frame is passed on, so the link's output is all of it
    QVector<QString> texts;
    const auto take = [&texts](const DmmData* data) {
        texts << data->text(0);
        delete data;
    };
    QObject::connect(&link, &MyDmm::display, &link, take);
    QObject::connect(&link, &MyDmm::displayStore, &link, take);
    for (const QByteArray& chunk : chunks)
        link.slotSerialDevRead(chunk);
    FUZZ_CHECK(texts == expected);
}

QByteArray readingFrame(FuzzInput& in)
{
    QByteArray frame;
    frame.append(char(0xAB));
    frame.append(char(0xCD));
    frame.append(char(FrameCodec::ReadingFrameLength));
    frame.append(char(in.byte() & 1));
    frame.append(in.bytes(14).leftJustified(14, '0'));
    const quint16 sum = referenceSum(frame, frame.size());
    frame.append(char(sum >> 8));
    frame.append(char(sum & 0xFF));
    return frame;
}

// Garbage never holds 0xAB, so it cannot open a frame of its own: every valid frame around it
// must come out, in order, and nothing else.
QByteArray garbage(FuzzInput& in)
{
    QByteArray bytes = in.bytes(in.byte() % 40);
    bytes.replace(char(0xAB), char(0xAA));
    return bytes;
}

void splicedStream(FuzzInput& in)
{
    QVector<QByteArray> sent;
    QByteArray stream;
    const int count = 1 + in.byte() % 32;
    for (int i = 0; i < count && !in.atEnd(); ++i) {
        if (in.byte() & 1)
            stream.append(garbage(in));
        const QByteArray frame = readingFrame(in);
        sent << frame;
        stream.append(frame);
    }
    stream.append(garbage(in));
    const QVector<QByteArray> chunks = chunked(in, stream);
    const QVector<QByteArray> frames = frameAll(chunks);
    FUZZ_CHECK(frames == sent);
    checkLink(chunks, decodeAll(frames));
}

void arbitraryChunks(FuzzInput& in)
{
    QVector<QByteArray> chunks;
    while (!in.atEnd())
        chunks << in.bytes(in.byte() % 80);
    const QVector<QByteArray> frames = frameAll(chunks);
    checkLink(chunks, decodeAll(frames));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static int appArgc = 1;
    static char name[] = "fuzz_framing";
    static char* appArgv[] = { name, nullptr };
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    static QCoreApplication app(appArgc, appArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    if (in.byte() & 1)
        splicedStream(in);
    else
        arbitraryChunks(in);
    return 0;
}

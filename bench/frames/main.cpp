#include "dmmdata.h"
#include "mydmm.h"
#include "simframes.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRandomGenerator>

#include <cstdio>
#include <ctime>

namespace {

// The serial line's own limit: 19200 baud, 8N1 is ten bits a byte, a reading frame is 20 bytes.
constexpr int baudRate = 19200;
constexpr int bitsPerByte = 10;
constexpr int frameBytes = 20;

// A realistic receive stream: mostly live frames with downloads of stored ones in between,
// cut into the chunk sizes a serial driver hands over (1 to 64 bytes).
QList<QByteArray> makeChunks(int frames, int* storedFrames)
{
    QRandomGenerator random(42);
    QByteArray stream;
    stream.reserve(frames * frameBytes);
    SimReading reading;
    *storedFrames = 0;
    for (int i = 0; i < frames; ++i) {
        const bool stored = i % 4 == 3;
        reading.record = stored ? i % 10000 : 0;
        reading.text
            = QByteArray::number(random.bounded(10000) / 100.0, 'f', 2).rightJustified(5, ' ');
        reading.unit = 1 << random.bounded(3);
        reading.batteryBits = 1 << random.bounded(4);
        stream += SimFrames::readingFrame(stored ? SimFrames::Stored : SimFrames::Live, reading);
        *storedFrames += stored;
    }
    QList<QByteArray> chunks;
    for (int at = 0; at < stream.size();) {
        const int size = 1 + int(random.bounded(64));
        chunks.append(stream.mid(at, size));
        at += size;
    }
    return chunks;
}

// CPU time of this thread: the figure is per core, whatever else the machine is doing.
qint64 threadCpuNs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // Stored frames print a hex line to the debug output: keep that out of the measurement.
    QLoggingCategory::setFilterRules(QStringLiteral("vibview.meter.frames.debug=false"));

    constexpr int framesPerRound = 200000;
    int storedPerRound = 0;
    const QList<QByteArray> chunks = makeChunks(framesPerRound, &storedPerRound);

    MyDmm dmm;
    dmm.setSampleRate(0); // every live frame is decoded, as with a zero sampling interval
    qint64 received = 0;
    QObject receiver;
    const auto take = [&received](const DmmData* data) {
        ++received;
        delete data;
    };
    QObject::connect(&dmm, &MyDmm::display, &receiver, take);
    QObject::connect(&dmm, &MyDmm::displayStore, &receiver, take);

    const qint64 start = threadCpuNs();
    int rounds = 0;
    qint64 elapsedNs = 0;
    do {
        for (const QByteArray& chunk : chunks)
            dmm.slotSerialDevRead(chunk);
        ++rounds;
        elapsedNs = threadCpuNs() - start;
    } while (elapsedNs < 1500000000);

    if (received != qint64(rounds) * framesPerRound) {
        std::fprintf(stderr, "bench_frames: %lld of %lld frames decoded\n", received,
            qint64(rounds) * framesPerRound);
        return 1;
    }
    const double perSecond = double(received) * 1e9 / double(elapsedNs);
    std::printf("frames_per_second: %.0f frames/s\n", perSecond);
    std::printf("line_rate_frames_per_second: %d frames/s\n", baudRate / bitsPerByte / frameBytes);
    return 0;
}

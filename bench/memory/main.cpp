// bytes_per_reading: resident memory per stored live reading, measured over 1,000,000 readings
// that go the way a live reading goes: decoded from its frame, kept by the item, shown as a row of
// the reading table and as a point of the trend chart.

#include "chartpoint.h"
#include "columnheader.h"
#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "framecodec.h"
#include "itemdata.h"
#include "residentmemory.h"

#include <QApplication>

#include <cstdio>
#include <malloc.h>

namespace {

QByteArray liveFrame(int i)
{
    // A steady meter shows few distinct texts; vary them as a real measurement would.
    QByteArray frame = QByteArray::fromHex("abcd1400") + QByteArray::number(i % 90000 + 10000)
        + QByteArray::fromHex("3030303002010204 08");
    frame.insert(6, '.');
    frame.truncate(18);
    const quint16 sum = FrameCodec::checksum(frame.constData(), 18);
    frame.append(char(sum >> 8));
    frame.append(char(sum & 0xFF));
    return frame;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int readings = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;

    QList<ColumnHeader*> headers;
    for (const char* title : { "No.", "Date", "Detection", "Value", "Unit", "Band" })
        headers << new ColumnHeader { QString::fromLatin1(title), 2 };
    DataModel table(headers);
    DMMChart chart;
    chart.resize(800, 400);
    ItemData item(QStringLiteral("Measure1"), ItemData::LiveMeasure);
    QString unit;

    // Warm up the allocators and the views with a first batch, then measure the rest.
    const int warmUp = readings / 100;
    qint64 before = 0;
    for (int i = 0; i < readings; ++i) {
        if (i == warmUp) {
            malloc_trim(0);
            before = residentBytes();
        }
        DmmData* reading = FrameCodec::decodeReading(liveFrame(i), unit);
        item.appendReading(reading);
        table.appendReading(reading);
        chart.appendPoint(ChartPoint::fromReading(reading));
        if (i % 100000 == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    malloc_trim(0);
    const qint64 after = residentBytes();
    if (item.readingCount() != readings || table.rowCount() != readings) {
        std::fprintf(stderr, "bytes_per_reading: the pipeline lost readings\n");
        return 1;
    }
    std::printf("bytes_per_reading: %.0f bytes\n", double(after - before) / (readings - warmUp));
    std::fflush(stdout);
    // Tearing down a million readings is not what is measured.
    std::_Exit(0);
}

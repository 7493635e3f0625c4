#pragma once

#include "dmmdata.h"
#include "framecodec.h"
#include "itemdata.h"
#include "simframes.h"

#include <cmath>

// Readings for the benchmarks, made the way the link makes them: a frame from the simulator's side
// of the protocol, decoded by the program's codec.
namespace BenchReadings {

// Reading i of a slow swing with noise on top, in cm/s, so that the chart has work in every column.
inline DmmData* live(int i, QString& unitText)
{
    SimReading reading;
    const double value = 50.0 + 30.0 * std::sin(i / 5000.0) + (qint64(i) * 7919 % 1000) / 100.0;
    reading.text = QByteArray::number(value, 'f', 2).rightJustified(5, ' ');
    return FrameCodec::decodeReading(SimFrames::readingFrame(SimFrames::Live, reading), unitText);
}

// count readings appended to the item, which takes the readings' unit.
inline void fill(ItemData* item, int count)
{
    QString unitText;
    for (int i = 0; i < count; ++i)
        item->appendReading(live(i, unitText));
    item->setUnitText(unitText);
}

} // namespace BenchReadings

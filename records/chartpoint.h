#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

class DmmData;

// One point of the trend chart, a copy of what the chart needs from one reading.
struct ChartPoint
{
    QDateTime time;
    double value = 0.0;
    QString valueText;
    QVariant label; // "value unit", shown by the indicator
    // The reading's state (DmmData::State): only numeric points are drawn; over-range ones are
    // marked at the plot's edge.
    int state = 0;

    // A new point made from a reading (its first value and text, its unit and its state).
    static ChartPoint* fromReading(const DmmData* reading);
    // The same point as a value.
    static ChartPoint of(const DmmData& reading);
};

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

    // A new point made from a reading (its first value and text, and its unit).
    static ChartPoint* fromReading(const DmmData* reading);
};

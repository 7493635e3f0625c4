#include "chartpoint.h"

#include "dmmdata.h"

ChartPoint* ChartPoint::fromReading(const DmmData* reading)
{
    return reading ? new ChartPoint(of(*reading)) : nullptr;
}

ChartPoint ChartPoint::of(const DmmData& reading)
{
    ChartPoint point;
    point.time = reading.dateTime();
    point.value = reading.value(0);
    point.valueText = reading.text(0);
    point.label = QStringLiteral("%1 %2").arg(reading.text(0), reading.unit().text);
    point.state = reading.state();
    return point;
}

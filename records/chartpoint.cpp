#include "chartpoint.h"

#include "dmmdata.h"

ChartPoint* ChartPoint::fromReading(const DmmData* reading)
{
    if (!reading)
        return nullptr;
    auto* point = new ChartPoint;
    point->time = reading->dateTime();
    point->value = reading->value(0);
    point->valueText = reading->text(0);
    point->label = QStringLiteral("%1 %2").arg(reading->text(0), reading->unit().text);
    return point;
}

#include "chartzones.h"

#include "dmmdata.h"
#include "itemdata.h"
#include "itemproperties.h"

bool ChartZones::operator==(const ChartZones& other) const
{
    const auto sameLimits = [](const std::optional<SeverityZones::Limits>& a,
                                const std::optional<SeverityZones::Limits>& b) {
        if (!a || !b)
            return !a && !b;
        return a->ab == b->ab && a->bc == b->bc && a->cd == b->cd;
    };
    return sameLimits(limits, other.limits) && alertLevel == other.alertLevel
        && dangerLevel == other.dangerLevel;
}

ChartZones ChartZones::of(const ItemProperties& properties, const QString& unit,
    const QString& detection, const QString& band)
{
    ChartZones zones;
    zones.alertLevel = properties.alertLevel;
    zones.dangerLevel = properties.dangerLevel;
    if (properties.machineClass == SeverityZones::NoClass)
        return zones;
    // The limits grade velocity RMS in the 10 Hz to 1 kHz band and nothing else.
    if (detection != QLatin1String("Vrms") || band != QLatin1String("10-1kHz"))
        return zones;
    double perMmS = 0.0;
    if (unit == QLatin1String("mm/s"))
        perMmS = 1.0;
    else if (unit == QLatin1String("cm/s"))
        perMmS = 0.1;
    else
        return zones;
    const SeverityZones::Limits mmS = SeverityZones::limits(properties.machineClass);
    zones.limits = SeverityZones::Limits { mmS.ab * perMmS, mmS.bc * perMmS, mmS.cd * perMmS };
    return zones;
}

ChartZones ChartZones::of(const ItemData* item)
{
    if (!item)
        return ChartZones();
    // The meter's detection and band may change within an item; the latest reading tells what
    // the readings are now, as the zone badge does. An item without readings grades nothing yet.
    // "Store Data" keeps no unit of its own: its readings carry it.
    const DmmData* last = item->lastReading();
    if (!last)
        return of(item->properties(), item->unitText(), QString(), QString());
    return of(item->properties(), last->unit().text, last->detection(), last->band());
}

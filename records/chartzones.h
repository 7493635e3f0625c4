#pragma once

#include "severityzones.h"

#include <QString>

#include <optional>

class ItemData;
struct ItemProperties;

// What the trend chart draws behind its line: the severity zone boundaries in the unit of the
// shown item (none when its readings are not graded) and the alert and danger levels.
struct ChartZones
{
    std::optional<SeverityZones::Limits> limits;
    std::optional<double> alertLevel;
    std::optional<double> dangerLevel;

    bool operator==(const ChartZones& other) const;
    bool operator!=(const ChartZones& other) const { return !(*this == other); }
    bool isEmpty() const { return !limits && !alertLevel && !dangerLevel; }

    // The zones of readings of this unit, detection and band under these properties. The limits
    // are mm/s RMS: an item in cm/s gets them divided by ten.
    static ChartZones of(const ItemProperties& properties, const QString& unit,
        const QString& detection, const QString& band);
    // The zones of an item as the chart shows it: its last reading tells the meter's setting.
    static ChartZones of(const ItemData* item);
};

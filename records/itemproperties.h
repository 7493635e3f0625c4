#pragma once

#include "severityzones.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// What the engineer tells about an item: the machine class its readings are graded by, the alert
// and danger levels in the item's unit, and a free note (machine, measuring point, direction).
struct ItemProperties
{
    SeverityZones::MachineClass machineClass = SeverityZones::NoClass;
    std::optional<double> alertLevel;
    std::optional<double> dangerLevel;
    QString note;

    bool operator==(const ItemProperties& other) const;
    bool operator!=(const ItemProperties& other) const { return !(*this == other); }

    // The form kept in journals and session files; unknown keys are ignored when read.
    QJsonObject toJson() const;
    static ItemProperties fromJson(const QJsonObject& json);
};

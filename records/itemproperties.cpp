#include "itemproperties.h"

#include <cmath>

namespace {
std::optional<double> level(const QJsonValue& value)
{
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return std::nullopt;
    return value.toDouble();
}
}

bool ItemProperties::operator==(const ItemProperties& other) const
{
    return machineClass == other.machineClass && alertLevel == other.alertLevel
        && dangerLevel == other.dangerLevel && note == other.note;
}

QJsonObject ItemProperties::toJson() const
{
    QJsonObject json;
    if (machineClass != SeverityZones::NoClass)
        json.insert(QStringLiteral("machineClass"), SeverityZones::key(machineClass));
    if (alertLevel)
        json.insert(QStringLiteral("alertLevel"), *alertLevel);
    if (dangerLevel)
        json.insert(QStringLiteral("dangerLevel"), *dangerLevel);
    if (!note.isEmpty())
        json.insert(QStringLiteral("note"), note);
    return json;
}

ItemProperties ItemProperties::fromJson(const QJsonObject& json)
{
    ItemProperties p;
    p.machineClass
        = SeverityZones::classFromKey(json.value(QStringLiteral("machineClass")).toString());
    p.alertLevel = level(json.value(QStringLiteral("alertLevel")));
    p.dangerLevel = level(json.value(QStringLiteral("dangerLevel")));
    p.note = json.value(QStringLiteral("note")).toString();
    return p;
}

#pragma once

#include "severityzones.h"

#include <QColor>

// The colours of the severity zones and alarm levels, shared by the badge, the table and the
// chart so that a zone looks the same wherever it is shown.
namespace ZoneColors {

QColor zone(SeverityZones::Zone zone);
// A light tint of the zone's colour, for backgrounds under text.
QColor tint(SeverityZones::Zone zone);
QColor alert();
QColor danger();

} // namespace ZoneColors

#include "zonecolors.h"

namespace ZoneColors {

QColor zone(SeverityZones::Zone zone)
{
    switch (zone) {
    case SeverityZones::A:
        return QColor(46, 160, 67);
    case SeverityZones::B:
        return QColor(156, 204, 101);
    case SeverityZones::C:
        return QColor(255, 167, 38);
    case SeverityZones::D:
        return QColor(211, 47, 47);
    case SeverityZones::NotGraded:
        break;
    }
    return QColor(189, 189, 189);
}

QColor tint(SeverityZones::Zone z)
{
    QColor c = zone(z);
    c.setAlpha(60);
    return c;
}

QColor alert()
{
    return QColor(255, 179, 0);
}

QColor danger()
{
    return QColor(198, 40, 40);
}

} // namespace ZoneColors

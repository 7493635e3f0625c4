#include "severityzones.h"

#include "dmmdata.h"

#include <QCoreApplication>

namespace {

struct ClassEntry
{
    SeverityZones::MachineClass machineClass;
    const char* key;
    const char* standard;
    const char* name;
    SeverityZones::Limits limits;
};

// The published zone boundaries in mm/s RMS.
const ClassEntry Table[] = {
    { SeverityZones::Part1ClassI, "iso10816-1/I", "ISO 10816-1",
        QT_TRANSLATE_NOOP("SeverityZones", "class I (small machines, up to 15 kW)"),
        { 0.71, 1.8, 4.5 } },
    { SeverityZones::Part1ClassII, "iso10816-1/II", "ISO 10816-1",
        QT_TRANSLATE_NOOP("SeverityZones", "class II (medium machines, 15 to 75 kW)"),
        { 1.12, 2.8, 7.1 } },
    { SeverityZones::Part1ClassIII, "iso10816-1/III", "ISO 10816-1",
        QT_TRANSLATE_NOOP("SeverityZones", "class III (large machines, rigid foundation)"),
        { 1.8, 4.5, 11.2 } },
    { SeverityZones::Part1ClassIV, "iso10816-1/IV", "ISO 10816-1",
        QT_TRANSLATE_NOOP("SeverityZones", "class IV (large machines, soft foundation)"),
        { 2.8, 7.1, 18.0 } },
    { SeverityZones::Part3Group1Rigid, "iso10816-3/1-rigid", "ISO 10816-3",
        QT_TRANSLATE_NOOP("SeverityZones",
            "group 1 (300 kW to 50 MW, or shaft height 315 mm and more), rigid foundation"),
        { 2.3, 4.5, 7.1 } },
    { SeverityZones::Part3Group1Flexible, "iso10816-3/1-flexible", "ISO 10816-3",
        QT_TRANSLATE_NOOP("SeverityZones",
            "group 1 (300 kW to 50 MW, or shaft height 315 mm and more), flexible foundation"),
        { 3.5, 7.1, 11.0 } },
    { SeverityZones::Part3Group2Rigid, "iso10816-3/2-rigid", "ISO 10816-3",
        QT_TRANSLATE_NOOP(
            "SeverityZones", "group 2 (15-300 kW, or shaft height 160-315 mm), rigid foundation"),
        { 1.4, 2.8, 4.5 } },
    { SeverityZones::Part3Group2Flexible, "iso10816-3/2-flexible", "ISO 10816-3",
        QT_TRANSLATE_NOOP("SeverityZones",
            "group 2 (15-300 kW, or shaft height 160-315 mm), flexible foundation"),
        { 2.3, 4.5, 7.1 } },
};

const ClassEntry* entry(SeverityZones::MachineClass machineClass)
{
    for (const ClassEntry& e : Table) {
        if (e.machineClass == machineClass)
            return &e;
    }
    return nullptr;
}

QString tr(const char* text)
{
    return QCoreApplication::translate("SeverityZones", text);
}

} // namespace

QList<SeverityZones::MachineClass> SeverityZones::classes()
{
    QList<MachineClass> all;
    for (const ClassEntry& e : Table)
        all << e.machineClass;
    return all;
}

SeverityZones::Limits SeverityZones::limits(MachineClass machineClass)
{
    const ClassEntry* e = entry(machineClass);
    return e ? e->limits : Limits();
}

QString SeverityZones::standard(MachineClass machineClass)
{
    const ClassEntry* e = entry(machineClass);
    return e ? QString::fromLatin1(e->standard) : QString();
}

QString SeverityZones::className(MachineClass machineClass)
{
    const ClassEntry* e = entry(machineClass);
    return e ? tr(e->name) : tr("none");
}

QString SeverityZones::appliedName(MachineClass machineClass)
{
    const ClassEntry* e = entry(machineClass);
    return e ? QStringLiteral("%1 %2").arg(QString::fromLatin1(e->standard), tr(e->name))
             : QString();
}

QString SeverityZones::key(MachineClass machineClass)
{
    const ClassEntry* e = entry(machineClass);
    return e ? QString::fromLatin1(e->key) : QString();
}

SeverityZones::MachineClass SeverityZones::classFromKey(const QString& key)
{
    for (const ClassEntry& e : Table) {
        if (key == QLatin1String(e.key))
            return e.machineClass;
    }
    return NoClass;
}

QString SeverityZones::zoneLetter(Zone zone)
{
    switch (zone) {
    case A:
        return QStringLiteral("A");
    case B:
        return QStringLiteral("B");
    case C:
        return QStringLiteral("C");
    case D:
        return QStringLiteral("D");
    case NotGraded:
        break;
    }
    return QString();
}

QString SeverityZones::zoneMeaning(Zone zone)
{
    switch (zone) {
    case A:
        return tr("new machine condition");
    case B:
        return tr("acceptable for unrestricted long-term operation");
    case C:
        return tr("restricted operation");
    case D:
        return tr("damage may occur");
    case NotGraded:
        break;
    }
    return tr("not graded");
}

SeverityZones::Zone SeverityZones::zoneOf(double velocity, const Limits& limits)
{
    // A reading shown as 0.18 cm/s is 1.8 mm/s, on the boundary, even where the conversion lands
    // a rounding step above it.
    constexpr double Tolerance = 1e-9;
    if (velocity <= limits.ab + Tolerance)
        return A;
    if (velocity <= limits.bc + Tolerance)
        return B;
    if (velocity <= limits.cd + Tolerance)
        return C;
    return D;
}

SeverityZones::Grade SeverityZones::grade(const DmmData& reading, MachineClass machineClass)
{
    return grade(reading.state(), reading.value(0), reading.unit().text, reading.detection(),
        reading.band(), machineClass);
}

SeverityZones::Grade SeverityZones::grade(int state, double value, const QString& unit,
    const QString& detection, const QString& band, MachineClass machineClass)
{
    Grade result;
    const ClassEntry* e = entry(machineClass);
    if (!e) {
        result.reason = tr("not graded: the item has no machine class");
        return result;
    }
    if (unit != QLatin1String("cm/s")) {
        result.reason = tr("not graded: %1 is not a velocity; the zones grade velocity (cm/s)")
                            .arg(unit.isEmpty() ? tr("no unit") : unit);
        return result;
    }
    if (detection != QLatin1String("Vrms")) {
        result.reason = tr("not graded: %1 detection; the zones grade RMS values (Vrms)")
                            .arg(detection.isEmpty() ? tr("unknown") : detection);
        return result;
    }
    if (band != QLatin1String("10-1kHz")) {
        result.reason = tr("not graded: band %1; the zones apply to 10 Hz to 1 kHz (10-1kHz)")
                            .arg(band.isEmpty() ? tr("unknown") : band);
        return result;
    }
    if (state == DmmData::OverRange || state == DmmData::NegativeOverRange) {
        result.reason = tr("not graded: over range");
        return result;
    }
    if (state == DmmData::NoReading) {
        result.reason = tr("not graded: no reading");
        return result;
    }
    // The meter shows velocity in cm/s; the limits are in mm/s.
    result.velocity = value * 10.0;
    result.zone = zoneOf(result.velocity, e->limits);
    return result;
}

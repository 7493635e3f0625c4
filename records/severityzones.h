#pragma once

#include <QList>
#include <QString>

class DmmData;

// Vibration severity zones of the ISO 10816 limits: a velocity RMS reading in the 10 Hz to 1 kHz
// band, in mm/s, falls into zone A (new machine condition), B (acceptable for unrestricted
// long-term operation), C (restricted operation) or D (damage may occur) by the limits of the
// machine's class. A reading on a boundary belongs to the lower zone.
class SeverityZones
{
public:
    enum MachineClass {
        NoClass,
        Part1ClassI,
        Part1ClassII,
        Part1ClassIII,
        Part1ClassIV,
        Part3Group1Rigid,
        Part3Group1Flexible,
        Part3Group2Rigid,
        Part3Group2Flexible,
    };
    enum Zone { NotGraded, A, B, C, D };

    // Boundaries A/B, B/C and C/D in mm/s RMS.
    struct Limits
    {
        double ab = 0.0;
        double bc = 0.0;
        double cd = 0.0;
    };

    struct Grade
    {
        Zone zone = NotGraded;
        double velocity = 0.0; // mm/s RMS, when graded
        QString reason; // why a reading is not graded
    };

    static QList<MachineClass> classes();
    static Limits limits(MachineClass machineClass);
    // "ISO 10816-1" or "ISO 10816-3"; empty for no class.
    static QString standard(MachineClass machineClass);
    // The class as the standard names it, with what it covers.
    static QString className(MachineClass machineClass);
    // Standard and class together, as shown wherever a zone is shown.
    static QString appliedName(MachineClass machineClass);
    // A stable key for files ("iso10816-1/I"); classFromKey maps it back (no class when unknown).
    static QString key(MachineClass machineClass);
    static MachineClass classFromKey(const QString& key);

    static QString zoneLetter(Zone zone);
    static QString zoneMeaning(Zone zone);

    static Zone zoneOf(double velocity, const Limits& limits);
    static Grade grade(const DmmData& reading, MachineClass machineClass);
    // The same rule on the reading's parts, for callers that hold no DmmData.
    static Grade grade(int state, double value, const QString& unit, const QString& detection,
        const QString& band, MachineClass machineClass);
};

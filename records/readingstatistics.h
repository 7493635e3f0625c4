#pragma once

#include "severityzones.h"

#include <QVector>

#include <array>
#include <functional>
#include <optional>

class DmmData;

// Figures over a run of readings: count, minimum, maximum, mean, RMS, standard deviation (of the
// sample), first and last time, readings per zone and above each level. Over-range and
// no-reading values are counted apart and never enter the figures.
struct StatisticsFigures
{
    int readings = 0; // all readings, the counted-apart ones included
    int count = 0; // numeric readings, the ones the figures are made of
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
    double rms = 0.0;
    double standardDeviation = 0.0;
    qint64 firstMs = 0; // times since the epoch; 0 without readings
    qint64 lastMs = 0;
    int overRange = 0; // "OL" and "-OL"
    int noReading = 0; // "----"
    std::array<int, 5> perZone {}; // by SeverityZones::Zone, NotGraded first
    int aboveAlert = 0;
    int aboveDanger = 0;

    qint64 durationMs() const { return readings > 0 ? lastMs - firstMs : 0; }
};

// Statistics of one item, kept up to date reading by reading, with a summary per block of readings
// so that the figures of any range come from the blocks inside it and at most two partial blocks
// at its ends: the cost of a range does not grow with the item's size.
class ReadingStatistics
{
public:
    static constexpr int DefaultBlockSize = 4096;

    // How to reach reading i of the item (the statistics keep no readings of their own).
    using ReadingAt = std::function<const DmmData*(int index)>;

    explicit ReadingStatistics(int blockSize = DefaultBlockSize);

    // Grading and levels decide the zone and level counts; changing them means a rebuild.
    void setGrading(SeverityZones::MachineClass machineClass, std::optional<double> alert,
        std::optional<double> danger);
    void clear();
    void add(const DmmData& reading);
    void rebuild(int count, const ReadingAt& readingAt);

    int size() const { return total.readings; }
    StatisticsFigures whole() const;
    // Readings first..last, inclusive, bounded to the readings held.
    StatisticsFigures range(int first, int last, const ReadingAt& readingAt) const;

private:
    struct Summary
    {
        int readings = 0;
        int count = 0;
        double minimum = 0.0;
        double maximum = 0.0;
        double mean = 0.0; // running mean and sum of squared deviations (Welford), so that
        double m2 = 0.0; // merged blocks keep their precision
        double sumSquares = 0.0;
        qint64 firstMs = 0;
        qint64 lastMs = 0;
        int overRange = 0;
        int noReading = 0;
        std::array<int, 5> perZone {};
        int aboveAlert = 0;
        int aboveDanger = 0;

        // ms: the reading's time, where the caller needs it (first and last are set by it).
        void add(const DmmData& reading, const ReadingStatistics& rules, qint64 ms);
        void merge(const Summary& other);
        StatisticsFigures figures() const;
    };

    int blockSize;
    SeverityZones::MachineClass machineClass = SeverityZones::NoClass;
    std::optional<double> alert;
    std::optional<double> danger;
    Summary total;
    QVector<Summary> blocks;
};

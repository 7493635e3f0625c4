#include "readingstatistics.h"

#include "dmmdata.h"

#include <algorithm>
#include <cmath>

ReadingStatistics::ReadingStatistics(int blockSize)
    : blockSize(qMax(1, blockSize))
{ }

void ReadingStatistics::setGrading(SeverityZones::MachineClass machineClass,
    std::optional<double> alert, std::optional<double> danger)
{
    this->machineClass = machineClass;
    this->alert = alert;
    this->danger = danger;
}

void ReadingStatistics::clear()
{
    total = Summary();
    blocks.clear();
}

void ReadingStatistics::add(const DmmData& reading)
{
    if (blocks.isEmpty() || blocks.last().readings == blockSize)
        blocks.append(Summary());
    const qint64 ms = reading.dateTime().toMSecsSinceEpoch();
    blocks.last().add(reading, *this, ms);
    total.add(reading, *this, ms);
}

void ReadingStatistics::rebuild(int count, const ReadingAt& readingAt)
{
    clear();
    blocks.reserve((count + blockSize - 1) / blockSize);
    // Local times are costly to convert: only the first and last reading of each block are asked.
    const auto timeOf = [&readingAt](int i) {
        const DmmData* r = readingAt(i);
        return r ? r->dateTime().toMSecsSinceEpoch() : 0;
    };
    for (int first = 0; first < count; first += blockSize) {
        const int last = qMin(first + blockSize, count) - 1;
        Summary block;
        for (int i = first; i <= last; ++i) {
            if (const DmmData* reading = readingAt(i))
                block.add(*reading, *this, 0);
        }
        block.firstMs = timeOf(first);
        block.lastMs = timeOf(last);
        total.merge(block);
        blocks.append(block);
    }
}

StatisticsFigures ReadingStatistics::whole() const
{
    return total.figures();
}

StatisticsFigures ReadingStatistics::range(int first, int last, const ReadingAt& readingAt) const
{
    first = qMax(first, 0);
    last = qMin(last, total.readings - 1);
    Summary sum;
    int i = first;
    while (i <= last) {
        const int block = i / blockSize;
        const int blockEnd = (block + 1) * blockSize - 1;
        if (i % blockSize == 0 && blockEnd <= last) {
            sum.merge(blocks.at(block));
            i = blockEnd + 1;
            continue;
        }
        // A partial block at either end of the range: its readings one by one.
        const int end = qMin(blockEnd, last);
        for (; i <= end; ++i) {
            if (const DmmData* reading = readingAt(i))
                sum.add(*reading, *this, 0);
        }
    }
    if (first <= last) {
        sum.firstMs = readingAt(first)->dateTime().toMSecsSinceEpoch();
        sum.lastMs = readingAt(last)->dateTime().toMSecsSinceEpoch();
    }
    return sum.figures();
}

void ReadingStatistics::Summary::add(
    const DmmData& reading, const ReadingStatistics& rules, qint64 ms)
{
    if (readings == 0)
        firstMs = ms;
    lastMs = ms;
    ++readings;
    const int state = reading.state();
    if (state == DmmData::OverRange || state == DmmData::NegativeOverRange) {
        ++overRange;
        return;
    }
    if (state == DmmData::NoReading) {
        ++noReading;
        return;
    }
    const double value = reading.value(0);
    ++count;
    if (count == 1) {
        minimum = maximum = value;
    } else {
        minimum = std::min(minimum, value);
        maximum = std::max(maximum, value);
    }
    const double delta = value - mean;
    mean += delta / count;
    m2 += delta * (value - mean);
    sumSquares += value * value;
    ++perZone[SeverityZones::grade(reading, rules.machineClass).zone];
    if (rules.alert && value > *rules.alert)
        ++aboveAlert;
    if (rules.danger && value > *rules.danger)
        ++aboveDanger;
}

void ReadingStatistics::Summary::merge(const Summary& other)
{
    if (other.readings == 0)
        return;
    if (readings == 0) {
        *this = other;
        return;
    }
    lastMs = other.lastMs;
    readings += other.readings;
    overRange += other.overRange;
    noReading += other.noReading;
    for (size_t z = 0; z < perZone.size(); ++z)
        perZone[z] += other.perZone[z];
    aboveAlert += other.aboveAlert;
    aboveDanger += other.aboveDanger;
    if (other.count == 0)
        return;
    if (count == 0) {
        count = other.count;
        minimum = other.minimum;
        maximum = other.maximum;
        mean = other.mean;
        m2 = other.m2;
        sumSquares = other.sumSquares;
        return;
    }
    // Chan's combination of two partial means and squared-deviation sums.
    const double n = double(count) + other.count;
    const double delta = other.mean - mean;
    m2 += other.m2 + delta * delta * count * other.count / n;
    mean += delta * other.count / n;
    count += other.count;
    minimum = std::min(minimum, other.minimum);
    maximum = std::max(maximum, other.maximum);
    sumSquares += other.sumSquares;
}

StatisticsFigures ReadingStatistics::Summary::figures() const
{
    StatisticsFigures f;
    f.readings = readings;
    f.count = count;
    f.firstMs = firstMs;
    f.lastMs = lastMs;
    f.overRange = overRange;
    f.noReading = noReading;
    f.perZone = perZone;
    f.aboveAlert = aboveAlert;
    f.aboveDanger = aboveDanger;
    if (count > 0) {
        f.minimum = minimum;
        f.maximum = maximum;
        f.mean = mean;
        f.rms = std::sqrt(sumSquares / count);
        f.standardDeviation = count > 1 ? std::sqrt(std::max(0.0, m2 / (count - 1))) : 0.0;
    }
    return f;
}

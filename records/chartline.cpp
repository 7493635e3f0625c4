#include "chartline.h"

#include "dmmdata.h"

#include <QStringRef>

#include <algorithm>
#include <cmath>
#include <limits>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace {

constexpr int FineShift = 6; // 64 points
constexpr int FineSize = 1 << FineShift;
constexpr int LevelShifts[] = { 6, 9, 12 };
constexpr qint64 MsPerDay = 86400000;
constexpr qint64 NoBase = std::numeric_limits<qint64>::min();
constexpr int MaxUnits = 32;
constexpr double Inf = std::numeric_limits<double>::infinity();

// Value texts are the meter's five- or six-character fields: up to eight characters of
// "0123456789. -OL", four bits each, 0 ending the text.
const char TextSymbols[] = "\0000123456789. -OL";

bool encodeText(const QString& text, quint32& code)
{
    if (text.size() > 8)
        return false;
    code = 0;
    for (int i = 0; i < text.size(); ++i) {
        const ushort c = text.at(i).unicode();
        int symbol = 0;
        if (c >= '0' && c <= '9')
            symbol = 1 + (c - '0');
        else if (c == '.')
            symbol = 11;
        else if (c == ' ')
            symbol = 12;
        else if (c == '-')
            symbol = 13;
        else if (c == 'O')
            symbol = 14;
        else if (c == 'L')
            symbol = 15;
        else
            return false;
        code |= quint32(symbol) << (4 * i);
    }
    return true;
}

QString decodeText(quint32 code)
{
    QChar chars[8];
    int n = 0;
    for (; n < 8; ++n) {
        const int symbol = (code >> (4 * n)) & 0xF;
        if (symbol == 0)
            break;
        chars[n] = QLatin1Char(TextSymbols[symbol]);
    }
    return QString(chars, n);
}

// Wall-clock milliseconds of a local time or of one with a fixed offset from UTC, and how it is
// carried (LocalZone, or the offset in seconds); reading them costs no time-zone lookup.
bool wallMsOf(const QDateTime& time, qint64& ms, int& zone)
{
    if (!time.isValid())
        return false;
    switch (time.timeSpec()) {
    case Qt::LocalTime:
        zone = ChartLine::LocalZone;
        break;
    case Qt::UTC:
    case Qt::OffsetFromUTC:
        zone = time.offsetFromUtc();
        break;
    default:
        return false;
    }
    ms = time.date().toJulianDay() * MsPerDay + time.time().msecsSinceStartOfDay();
    return true;
}

bool stateCodeOf(int state, int& code)
{
    switch (state) {
    case DmmData::Numeric:
        code = 0;
        return true;
    case DmmData::OverRange:
        code = 1;
        return true;
    case DmmData::NegativeOverRange:
        code = 2;
        return true;
    case DmmData::NoReading:
        code = 3;
        return true;
    default:
        return false;
    }
}

// Asks for large pages under a column about to be filled: a loaded day of readings then faults in
// a few dozen pages per column instead of tens of thousands, which makes the first showing of a
// large item markedly faster. Only whole, aligned large pages inside the buffer are advised.
template <typename T> void adviseLargePages(QVector<T>& column)
{
#ifdef Q_OS_LINUX
    constexpr quintptr LargePage = 2 * 1024 * 1024;
    const auto begin = reinterpret_cast<quintptr>(column.data());
    const quintptr end = begin + quintptr(column.capacity()) * sizeof(T);
    const quintptr first = (begin + LargePage - 1) & ~(LargePage - 1);
    const quintptr last = end & ~(LargePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(column)
#endif
}

int stateOfCode(int code)
{
    static const int states[]
        = { DmmData::Numeric, DmmData::OverRange, DmmData::NegativeOverRange, DmmData::NoReading };
    return states[code & 3];
}

} // namespace

ChartLine::ChartLine(DMMChart* chart)
    : chart(chart)
{ }

ChartLine::~ChartLine() = default;

void ChartLine::reserve(int count)
{
    // Room for the readings that follow a loaded item too, so the first of them does not copy
    // every column (pages not yet written cost no memory).
    const int total = size() + count + count / 16 + 1024;
    values.reserve(total);
    flags.reserve(total);
    texts.reserve(total);
    timeOffsets.reserve(total);
    timeBases.reserve((total >> FineShift) + 1);
    timeZones.reserve((total >> FineShift) + 1);
    for (int level = 0; level < Levels; ++level) {
        blockMin[level].reserve((total >> LevelShifts[level]) + 1);
        blockMax[level].reserve((total >> LevelShifts[level]) + 1);
    }
    adviseLargePages(values);
    adviseLargePages(flags);
    adviseLargePages(texts);
    adviseLargePages(timeOffsets);
}

void ChartLine::clear()
{
    // The columns keep their capacity: the next item shown fills pages already mapped instead of
    // faulting in fresh ones (a million points need some 17 MB).
    values.clear();
    flags.clear();
    texts.clear();
    timeBases.clear();
    timeZones.clear();
    timeOffsets.clear();
    units.clear();
    unusual.clear();
    gapIndexes.clear();
    for (int level = 0; level < Levels; ++level) {
        blockMin[level].clear();
        blockMax[level].clear();
    }
}

int ChartLine::unitIndex(const QString& unitText)
{
    // Almost every point of a line has the unit of the one before.
    for (int i = units.size() - 1; i >= 0; --i) {
        if (units.at(i) == unitText)
            return i;
    }
    if (units.size() >= MaxUnits)
        return -1;
    units.append(unitText);
    return units.size() - 1;
}

void ChartLine::append(const ChartPoint& point)
{
    quint32 text = 0;
    qint64 ms = 0;
    int state = 0;
    int zone = LocalZone;
    if (encodeText(point.valueText, text) && wallMsOf(point.time, ms, zone)
        && stateCodeOf(point.state, state) && point.label.userType() == QMetaType::QString) {
        const QString label = point.label.toString();
        const int n = point.valueText.size();
        if (label.size() > n && label.startsWith(point.valueText)
            && label.at(n) == QLatin1Char(' ')) {
            const int unit = unitIndex(label.mid(n + 1));
            if (unit >= 0 && appendEncoded(point.value, state, ms, zone, text, unit))
                return;
        }
    }
    appendUnusual(point);
}

void ChartLine::append(const DmmData* reading)
{
    if (!reading)
        return;
    quint32 text = 0;
    qint64 ms = 0;
    int state = 0;
    int zone = LocalZone;
    if (encodeText(reading->text(0), text) && wallMsOf(reading->dateTime(), ms, zone)
        && stateCodeOf(reading->state(), state)) {
        const int unit = unitIndex(reading->unit().text);
        if (unit >= 0 && appendEncoded(reading->value(0), state, ms, zone, text, unit))
            return;
    }
    appendUnusual(ChartPoint::of(*reading));
}

bool ChartLine::appendEncoded(
    double value, int state, qint64 wallMs, int zone, quint32 text, int unit)
{
    const int at = values.size();
    if (timeBases.size() == at >> FineShift) {
        timeBases.append(NoBase);
        timeZones.append(zone);
    }
    qint64& base = timeBases.last();
    if (base == NoBase) {
        base = wallMs;
        timeZones.last() = zone;
    } else if (timeZones.last() != zone) {
        return false; // the offset changed (summer time began or ended) within the block
    }
    const qint64 offset = wallMs - base;
    if (offset < std::numeric_limits<qint32>::min() || offset > std::numeric_limits<qint32>::max())
        return false;
    values.append(value);
    flags.append(quint8(state | (unit << UnitShift)));
    texts.append(text);
    timeOffsets.append(qint32(offset));
    index(at, value, state == 0 && std::isfinite(value));
    return true;
}

void ChartLine::appendUnusual(const ChartPoint& point)
{
    const int at = values.size();
    if (timeBases.size() == at >> FineShift) {
        timeBases.append(NoBase);
        timeZones.append(LocalZone);
    }
    int state = 3; // a state without a code is neither drawn nor marked
    stateCodeOf(point.state, state);
    values.append(point.value);
    flags.append(quint8(Unusual | state));
    texts.append(0);
    timeOffsets.append(0);
    unusual.insert(at, point);
    index(at, point.value, state == 0 && std::isfinite(point.value));
}

void ChartLine::index(int at, double value, bool drawn)
{
    for (int level = 0; level < Levels; ++level) {
        const int block = at >> LevelShifts[level];
        if (block == blockMin[level].size()) {
            blockMin[level].append(Inf);
            blockMax[level].append(-Inf);
        }
        if (drawn) {
            double& lo = blockMin[level][block];
            double& hi = blockMax[level][block];
            lo = qMin(lo, value);
            hi = qMax(hi, value);
        }
    }
    if (!drawn)
        gapIndexes.append(at);
}

bool ChartLine::isDrawn(int index) const
{
    return (flags.at(index) & StateMask) == 0 && std::isfinite(values.at(index));
}

int ChartLine::stateAt(int index) const
{
    if (flags.at(index) & Unusual)
        return unusual.value(index).state;
    return stateOfCode(flags.at(index));
}

QDateTime ChartLine::timeAt(int index) const
{
    if (flags.at(index) & Unusual)
        return unusual.value(index).time;
    const qint64 ms = timeBases.at(index >> FineShift) + timeOffsets.at(index);
    const QDate date = QDate::fromJulianDay(ms / MsPerDay);
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ms % MsPerDay));
    const int zone = timeZones.at(index >> FineShift);
    return zone == LocalZone ? QDateTime(date, time)
                             : QDateTime(date, time, Qt::OffsetFromUTC, zone);
}

QString ChartLine::timeText(
    int index, const QString& dateFormat, const QString& separator, const QString& timeFormat) const
{
    QDate date;
    QTime time;
    if (flags.at(index) & Unusual) {
        const QDateTime full = unusual.value(index).time;
        date = full.date();
        time = full.time();
    } else {
        const qint64 ms = timeBases.at(index >> FineShift) + timeOffsets.at(index);
        date = QDate::fromJulianDay(ms / MsPerDay);
        time = QTime::fromMSecsSinceStartOfDay(int(ms % MsPerDay));
    }
    return date.toString(dateFormat) + separator + time.toString(timeFormat);
}

QVariant ChartLine::labelAt(int index) const
{
    if (flags.at(index) & Unusual)
        return unusual.value(index).label;
    return decodeText(texts.at(index)) + QLatin1Char(' ')
        + units.at((flags.at(index) & UnitMask) >> UnitShift);
}

ChartPoint ChartLine::pointAt(int index) const
{
    if (flags.at(index) & Unusual)
        return unusual.value(index);
    ChartPoint point;
    point.time = timeAt(index);
    point.value = values.at(index);
    point.valueText = decodeText(texts.at(index));
    point.label = labelAt(index);
    point.state = stateOfCode(flags.at(index));
    return point;
}

int ChartLine::nextGap(int from) const
{
    const auto it = std::lower_bound(gapIndexes.cbegin(), gapIndexes.cend(), from);
    return it == gapIndexes.cend() ? size() : *it;
}

void ChartLine::blocksMinMax(int& i, int to, double& lo, double& hi) const
{
    while (i + FineSize <= to) {
        int level = Levels - 1;
        while (level > 0
            && ((i & ((1 << LevelShifts[level]) - 1)) != 0 || i + (1 << LevelShifts[level]) > to))
            --level;
        const int block = i >> LevelShifts[level];
        lo = qMin(lo, blockMin[level].at(block));
        hi = qMax(hi, blockMax[level].at(block));
        i += 1 << LevelShifts[level];
    }
}

void ChartLine::minMax(int from, int to, double& lowest, double& highest) const
{
    double lo = Inf;
    double hi = -Inf;
    const double* v = values.constData();
    const quint8* f = flags.constData();
    to = qMin(to, size());
    auto scan = [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            if ((f[i] & StateMask) == 0 && std::isfinite(v[i])) {
                lo = v[i] < lo ? v[i] : lo;
                hi = v[i] > hi ? v[i] : hi;
            }
        }
    };
    int i = qMax(from, 0);
    const int headEnd = qMin(to, (i + FineSize - 1) & ~(FineSize - 1));
    scan(i, headEnd);
    i = qMax(i, headEnd);
    blocksMinMax(i, to, lo, hi);
    scan(i, to);
    lowest = lo;
    highest = hi;
}

void ChartLine::minMaxOfRun(int from, int to, double& lowest, double& highest) const
{
    const double* v = values.constData();
    double lo = Inf;
    double hi = -Inf;
    auto scan = [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            lo = v[i] < lo ? v[i] : lo;
            hi = v[i] > hi ? v[i] : hi;
        }
    };
    int i = from;
    const int headEnd = qMin(to, (from + FineSize - 1) & ~(FineSize - 1));
    scan(i, headEnd);
    i = qMax(i, headEnd);
    blocksMinMax(i, to, lo, hi);
    scan(i, to);
    lowest = lo;
    highest = hi;
}

QPair<double, double> ChartLine::extremes(int first, int last) const
{
    double lo = 0.0;
    double hi = 0.0;
    minMax(first, last + 1, lo, hi);
    return { qMin(0.0, lo), qMax(0.0, hi) };
}

#pragma once

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <limits>

#include "chartpoint.h"

class DMMChart;
class DmmData;

// One data series of the trend chart. It keeps its own copy of every point in contiguous columns,
// without an allocation per point, and the smallest and largest drawn value of each block of 64
// and of 4096 points as the points arrive, so that a redraw reads a few values per pixel column
// whatever the number of points.
class ChartLine : public QObject
{
    Q_OBJECT

public:
    // How a block's times are carried: as local times, or else with this many seconds of offset
    // from UTC.
    static constexpr int LocalZone = std::numeric_limits<int>::min();

    explicit ChartLine(DMMChart* chart);
    ~ChartLine() override;

    void append(const ChartPoint& point);
    // The point ChartPoint::fromReading would make, without making it.
    void append(const DmmData* reading);
    void reserve(int count);
    void clear();

    int size() const { return values.size(); }
    // A copy of point index, as it was appended.
    ChartPoint pointAt(int index) const;
    QDateTime timeAt(int index) const;
    // The time as text in format, which names no time zone; cheaper than timeAt(index).toString,
    // as it needs no time-zone lookup.
    QString timeText(int index, const QString& dateFormat, const QString& separator,
        const QString& timeFormat) const;
    QVariant labelAt(int index) const;
    double valueAt(int index) const { return values.at(index); }
    const double* valueData() const { return values.constData(); }
    int stateAt(int index) const;
    // Drawn points are numeric readings with a finite value; the others break the line.
    bool isDrawn(int index) const;
    // The points that are not drawn, ascending.
    const QVector<int>& gaps() const { return gapIndexes; }
    // The first point not drawn at or after index from; size() when there is none.
    int nextGap(int from) const;

    // The smallest and largest drawn value of points first to last, each starting from 0, so the
    // range holds 0.
    QPair<double, double> extremes(int first, int last) const;
    // The smallest and largest drawn value of points from to to - 1; +inf and -inf without any.
    void minMax(int from, int to, double& lowest, double& highest) const;
    // The same for a run of points that are all drawn, without looking at each point's state.
    void minMaxOfRun(int from, int to, double& lowest, double& highest) const;

    QColor color { 250, 150, 0 };
    double minValue = 0.0;
    double maxValue = 0.0;
    double xStep = 0.0;
    double yScale = 0.0;
    DMMChart* chart;

private:
    // Bits of the per-point flags: the state (0 numeric, 1 over-range, 2 negative over-range,
    // 3 anything else), the unit of the label, and whether the point is kept whole in unusual.
    enum : quint8 { StateMask = 0x03, UnitShift = 2, UnitMask = 0x7C, Unusual = 0x80 };

    // False when the time is too far from its block's base for an offset.
    bool appendEncoded(double value, int state, qint64 wallMs, int zone, quint32 text, int unit);
    void appendUnusual(const ChartPoint& point);
    void index(int at, double value, bool drawn);
    int unitIndex(const QString& unitText);
    // Takes in the whole blocks from i (a multiple of 64) on, as large as fit before to.
    void blocksMinMax(int& i, int to, double& lo, double& hi) const;

    QVector<double> values;
    QVector<quint8> flags;
    // The value text in four-bit codes (see chartline.cpp).
    QVector<quint32> texts;
    // Wall-clock time: a base per block of 64 points and an offset per point, in ms, and how the
    // block's times are carried (LocalZone or their offset from UTC).
    QVector<qint64> timeBases;
    QVector<int> timeZones;
    QVector<qint32> timeOffsets;
    QStringList units;
    // Points whose text, time, label or state has no compact form, kept as they came.
    QHash<int, ChartPoint> unusual;
    QVector<int> gapIndexes;
    // Smallest and largest drawn value per block of 64, 512 and 4096 points.
    static constexpr int Levels = 3;
    QVector<double> blockMin[Levels];
    QVector<double> blockMax[Levels];
};

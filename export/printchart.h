#pragma once

#include "itemsummary.h"

#include <QList>
#include <QRectF>
#include <QVector>

class DmmData;
class QPainter;

// The trend chart of an item drawn for print: vector lines on a time axis, the severity zone
// bands behind the line when the item has a class, the alert and danger levels as lines,
// over-range readings as gaps with a mark at the top or bottom edge. Coordinates are points.
class PrintChart
{
public:
    PrintChart(const QList<DmmData*>& readings, const ItemSummary& summary);

    void paint(QPainter& painter, const QRectF& area) const;

    // The value range drawn: the readings, zero, and the levels, with a little headroom.
    QPair<double, double> valueRange() const;

    // A step of 1, 2 or 5 times a power of ten that puts at most maxTicks marks on span.
    static double valueStep(double span, int maxTicks);
    // A step of whole seconds, minutes, hours or days that puts at most maxTicks marks on span.
    static qint64 timeStep(qint64 spanMs, int maxTicks);
    // Tick positions: the multiples of step within [first, last].
    static QVector<qint64> timeTicks(qint64 firstMs, qint64 lastMs, qint64 step);

private:
    const QList<DmmData*>& readings;
    const ItemSummary& summary;
};

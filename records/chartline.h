#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QVector>

#include "chartpoint.h"

class DMMChart;

// One data series of the trend chart. Owns its points.
class ChartLine : public QObject
{
    Q_OBJECT

public:
    explicit ChartLine(DMMChart* chart);
    ~ChartLine() override;

    void append(ChartPoint* point);
    void clear();

    // The values of the points, contiguous, so that scans over a million points stay fast.
    const QVector<double>& pointValues();

    QList<ChartPoint*> points;
    // One per visible point, x relative to the plot's left edge; rebuilt on every full redraw and
    // kept by value, so a redraw allocates nothing per point.
    QVector<QPoint> screenPoints;
    QColor color { 250, 150, 0 };
    double minValue = 0.0;
    double maxValue = 0.0;
    double xStep = 0.0;
    double yScale = 0.0;
    DMMChart* chart;

private:
    QVector<double> values;
};

#pragma once

#include <QPair>
#include <QSize>

// The trend chart's value axis and point spacing: the value range shown, with headroom, pixels
// per value unit and pixels between neighbouring points.
struct ChartScale
{
    double minValue = -1.0;
    double maxValue = 1.0;
    double yScale = 0.0;
    double xStep = 0.0;

    // The smallest and largest of count values, each starting from 0, so the range holds 0.
    // Values that are not finite would leave no scale at all; they are skipped.
    static QPair<double, double> extremes(const double* values, int count);

    // The scale for shownCount points whose extremes over all lines are lowest and highest, in a
    // plot of plotSize. The range always holds -1 to 1 and gets a tenth of each end's magnitude
    // as headroom.
    static ChartScale fit(double lowest, double highest, int shownCount, const QSize& plotSize);

    // x of the b-th point shown, in pixels from the plot's left edge.
    int screenX(int b) const { return int(b * xStep + 0.5); }
    // The first of count points shown whose x is at least x; count when there is none. x never
    // decreases along the points, so this is a binary search, whatever their number.
    int firstReaching(int x, int count) const;
};

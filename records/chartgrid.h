#pragma once

#include <QRect>
#include <QString>

struct ChartScale;

// Where the trend chart puts its time labels and value grid lines: steps chosen so that labels
// lie at least 80 and grid lines at least 30 pixels apart, counted from the base line.
struct ChartGrid
{
    int pointsPerXLabel = 0;
    double xLabelSpacing = 0.0;
    int xLabelCount = 0;
    double yGridStep = 0.0;
    double yGridSpacing = 0.0;
    int yGridAbove = 0;
    int yGridBelow = 0;
    // The y of the value 0 (or the nearer plot edge when 0 is outside the range), in widget
    // pixels; known only when the plot has room.
    double base = 0.0;
    bool hasBase = false;

    // The label of value grid line l above (or below) the base line, with at least decimals
    // decimals and as many more as the grid step needs, so neighbouring labels always differ.
    QString valueLabel(int l, bool below, int decimals) const;
    // Text of a value: fixed notation, "k" from a thousand, "M" from a million; with step, as many
    // decimals beyond the given ones as multiples of step need to stay apart.
    static QString valueText(double value, int decimals, double step = 0.0);

    // The grid for shownPoints points of line 0 on scale in plot (widget pixels). Without points
    // only the base line is placed; without room nothing is.
    static ChartGrid place(const ChartScale& scale, const QRect& plot, int shownPoints);
};

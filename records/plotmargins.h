#pragma once

#include <QRect>
#include <QSize>

// The margins around a plot, in pixels, and the plot rectangle they leave in a widget.
struct PlotMargins
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    // Empty (no width or no height) while the widget is smaller than its margins.
    QRect plotRect(const QSize& widgetSize) const;

    bool operator==(const PlotMargins& other) const;
    bool operator!=(const PlotMargins& other) const { return !(*this == other); }
};

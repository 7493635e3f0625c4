#pragma once

#include <QRectF>
#include <QSizeF>
#include <QVector>

// The histogram's rows: one per range, the lowest at the bottom, each bar as long as its count
// and filling the middle 80 percent of its row, count ticks at least 50 pixels apart.
struct HistogramLayout
{
    int maxCount = 1;
    double pixelsPerCount = 0.0;
    // 0 when the plot leaves no room for ticks.
    int countStep = 0;
    int rowCount = 0;
    double rowHeight = 1.0;
    QSizeF plotSize;
    // One per row, in plot coordinates: (0, 0) is the plot's bottom-left corner, y grows down.
    QVector<QRectF> barRects;

    // The layout of one row per count (row 0 first) in a plot of plotSize.
    static HistogramLayout place(const QVector<int>& counts, const QSizeF& plotSize);

    bool hasRoom() const { return plotSize.width() > 1 && plotSize.height() > 0; }
};

#pragma once

#include <QPoint>

struct ChartScale;

// The range of point indexes the trend chart shows: all points (the full view), or a fixed range
// chosen by dragging a band right and down over the points shown.
class ChartZoom
{
public:
    bool isZoomed() const { return zoomed; }
    int firstIndex() const { return first; }
    int lastIndex() const { return last; }
    int shownCount() const { return last - first + 1; }

    // Brings the range up to date for pointCount points held, before a full redraw: the full
    // view takes them all; a zoom is bounded to them and left when none of its points remain.
    void fit(int pointCount);
    // A finished band from start to end, in pixels from the plot's top-left corner, over the
    // points shown, placed by scale. Dragged right and down it narrows the range to the points
    // under the band; dragged any other way it returns to the full view.
    void applyBand(const QPoint& start, const QPoint& end, const ChartScale& scale);
    // Back to the full view at the next fit.
    void reset() { zoomed = false; }

private:
    bool zoomed = false;
    int first = 0;
    int last = -1;
};

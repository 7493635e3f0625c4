#include "chartzoom.h"

#include <QtGlobal>

#include <algorithm>

void ChartZoom::fit(int pointCount)
{
    if (!zoomed) {
        first = 0;
        last = pointCount - 1;
        return;
    }
    // Never look past the points held, whatever happened to them while zoomed.
    last = qMin(last, pointCount - 1);
    if (first < 0 || first > last) {
        zoomed = false;
        first = 0;
        last = pointCount - 1;
    }
}

void ChartZoom::applyBand(
    const QPoint& start, const QPoint& end, const QVector<QPoint>& screenPoints)
{
    if (!(start.x() < end.x() && start.y() < end.y())) {
        zoomed = false;
        return;
    }
    const int lastShown = screenPoints.size() - 1;
    auto firstReaching = [&screenPoints](int x) {
        auto it = std::lower_bound(screenPoints.cbegin(), screenPoints.cend(), x,
            [](const QPoint& p, int px) { return p.x() < px; });
        return it == screenPoints.cend() ? -1 : int(it - screenPoints.cbegin());
    };
    const int a = firstReaching(start.x());
    const int reachingEnd = firstReaching(end.x());
    int e = reachingEnd - 1;
    if (e <= 0)
        e = 1;
    if (reachingEnd < 0 || e > lastShown)
        e = lastShown;
    const int s = qMax(a, 0);
    if (e - s > 0) {
        zoomed = true;
        last = first + e;
        first = first + s;
    }
}

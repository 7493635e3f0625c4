#include "chartzoom.h"

#include "chartscale.h"

#include <QtGlobal>

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

void ChartZoom::applyBand(const QPoint& start, const QPoint& end, const ChartScale& scale)
{
    if (!(start.x() < end.x() && start.y() < end.y())) {
        zoomed = false;
        return;
    }
    const int shown = qMax(0, shownCount());
    const int lastShown = shown - 1;
    auto firstReaching = [&](int x) {
        const int b = scale.firstReaching(x, shown);
        return b == shown ? -1 : b;
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

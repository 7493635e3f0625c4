#include "chartscale.h"

#include <QtGlobal>

#include <cmath>

QPair<double, double> ChartScale::extremes(const double* values, int count)
{
    double lo = 0.0;
    double hi = 0.0;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[i]))
            continue;
        hi = values[i] > hi ? values[i] : hi;
        lo = values[i] < lo ? values[i] : lo;
    }
    return { lo, hi };
}

ChartScale ChartScale::fit(double lowest, double highest, int shownCount, const QSize& plotSize)
{
    ChartScale scale;
    scale.maxValue = qMax(1.0, highest);
    scale.minValue = qMin(-1.0, lowest);
    scale.maxValue += std::fabs(scale.maxValue) / 10.0;
    scale.minValue -= std::fabs(scale.minValue) / 10.0;
    scale.yScale = plotSize.height() / (scale.maxValue - scale.minValue);
    if (shownCount > 0)
        scale.xStep = double(plotSize.width()) / shownCount;
    return scale;
}

int ChartScale::firstReaching(int x, int count) const
{
    int lo = 0;
    int hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (screenX(mid) < x)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

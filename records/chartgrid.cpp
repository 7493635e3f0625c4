#include "chartgrid.h"

#include "chartscale.h"
#include "nicestep.h"

#include <algorithm>
#include <cmath>

namespace {
// Minimum pixel distances between time labels and between value grid lines.
constexpr double XLabelDistance = 80.0;
constexpr double YGridDistance = 30.0;

// Decimals that show a multiple of step exactly (steps are 0.00001 and up).
int decimalsOf(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    double scaled = step;
    for (int d = 0; d < 9; ++d, scaled *= 10.0) {
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * std::max(1.0, scaled))
            return d;
    }
    return 9;
}
}

QString ChartGrid::valueText(double value, int decimals, double step)
{
    const double magnitude = std::fabs(value);
    double divisor = 1.0;
    QString suffix;
    if (magnitude >= 1000000.0) {
        divisor = 1000000.0;
        suffix = QStringLiteral("M");
    } else if (magnitude >= 1000.0) {
        divisor = 1000.0;
        suffix = QStringLiteral("k");
    }
    const int shown = std::max({ 0, decimals, decimalsOf(step / divisor) });
    return QString::number(value / divisor, 'f', shown) + suffix;
}

QString ChartGrid::valueLabel(int l, bool below, int decimals) const
{
    const double v = l * yGridStep;
    // -0 would print as "-0.0" on the base line.
    return valueText(below && l != 0 ? -v : v, decimals, yGridStep);
}

ChartGrid ChartGrid::place(const ChartScale& scale, const QRect& plot, int shownPoints)
{
    ChartGrid grid;
    if (plot.width() <= 0 || plot.height() <= 0)
        return grid;

    const double minValue = scale.minValue;
    const double maxValue = scale.maxValue;
    if (minValue >= 0 && maxValue >= 0)
        grid.base = plot.bottom();
    else if (minValue <= 0 && maxValue >= 0)
        grid.base = plot.top() + scale.yScale * maxValue;
    else
        grid.base = plot.top();
    grid.hasBase = true;
    if (shownPoints <= 0)
        return grid;

    grid.pointsPerXLabel = NiceStep::integerStep(scale.xStep, XLabelDistance);
    if (grid.pointsPerXLabel > 0) {
        grid.xLabelSpacing = grid.pointsPerXLabel * scale.xStep;
        grid.xLabelCount = int(plot.width() / grid.xLabelSpacing);
        // Each label names a point shown: never more labels than points to name.
        grid.xLabelCount = qMin(grid.xLabelCount, (shownPoints - 1) / grid.pointsPerXLabel + 1);
    }

    grid.yGridStep = NiceStep::realStep(scale.yScale, YGridDistance);
    if (grid.yGridStep > 0) {
        grid.yGridSpacing = scale.yScale * grid.yGridStep;
        grid.yGridAbove = maxValue >= 0 ? int(maxValue * scale.yScale / grid.yGridSpacing) : 0;
        grid.yGridBelow
            = minValue <= 0 ? int(scale.yScale * std::fabs(minValue) / grid.yGridSpacing) : 0;
    }
    return grid;
}

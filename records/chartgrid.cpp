#include "chartgrid.h"

#include "chartscale.h"
#include "nicestep.h"

#include <cmath>

namespace {
// Minimum pixel distances between time labels and between value grid lines.
constexpr double XLabelDistance = 80.0;
constexpr double YGridDistance = 30.0;
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

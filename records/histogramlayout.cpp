#include "histogramlayout.h"

#include "nicestep.h"

HistogramLayout HistogramLayout::place(const QVector<int>& counts, const QSizeF& plotSize)
{
    HistogramLayout layout;
    layout.plotSize = plotSize;
    layout.maxCount = 0;
    for (int count : counts)
        layout.maxCount = qMax(layout.maxCount, count);
    if (layout.maxCount == 0)
        layout.maxCount = 1;

    layout.countStep = 1;
    layout.pixelsPerCount = (plotSize.width() - 1) / layout.maxCount;
    // Ticks at least 50 pixels apart; a plot without room gets no ticks (step 0).
    if (layout.pixelsPerCount < 50)
        layout.countStep = NiceStep::smallestMultiple(2, layout.pixelsPerCount, 50.0);

    layout.rowCount = counts.size();
    layout.rowHeight = layout.rowCount > 0 ? plotSize.height() / layout.rowCount : 1.0;

    layout.barRects.reserve(counts.size());
    for (int m = 0; m < counts.size(); ++m) {
        const int length = qMax(1, int(counts.at(m) * layout.pixelsPerCount));
        layout.barRects.append(QRectF(0, 0.1 * layout.rowHeight - (m + 1) * layout.rowHeight,
            length, 0.8 * layout.rowHeight));
    }
    return layout;
}

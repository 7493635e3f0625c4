#include "plotmargins.h"

QRect PlotMargins::plotRect(const QSize& widgetSize) const
{
    return QRect(left, top, widgetSize.width() - right - left, widgetSize.height() - bottom - top);
}

bool PlotMargins::operator==(const PlotMargins& other) const
{
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
}

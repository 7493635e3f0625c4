#include "chartline.h"

ChartLine::ChartLine(DMMChart* chart)
    : chart(chart)
{ }

ChartLine::~ChartLine()
{
    clear();
}

void ChartLine::append(ChartPoint* point)
{
    if (!point)
        return;
    points.append(point);
    if (values.size() == points.size() - 1)
        values.append(point->value);
}

void ChartLine::clear()
{
    qDeleteAll(points);
    points.clear();
    values.clear();
    screenPoints.clear();
}

const QVector<double>& ChartLine::pointValues()
{
    // Someone filled the point list directly: rebuild the cache rather than read stale values.
    if (values.size() != points.size()) {
        values.clear();
        values.reserve(points.size());
        for (const ChartPoint* p : qAsConst(points))
            values.append(p->value);
    }
    return values;
}

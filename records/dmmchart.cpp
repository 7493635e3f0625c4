#include "dmmchart.h"

#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPainter>
#include <QPolygon>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
constexpr int IndicatorMs = 3000;

// Pixel coordinate of a computed position. Only values the scale skipped (infinite or NaN) can
// land far outside the widget; they are held where the painter can still clip them.
inline int toPixel(double d)
{
    constexpr double limit = 100000.0;
    if (d >= limit)
        return int(limit);
    if (d <= -limit)
        return -int(limit);
    if (d != d)
        return 0;
    return int(d);
}

// Whether a cosmetic line from (x, y) to (x + 1, y + dy), dy >= 2, lights its last row in its
// first column. The raster engine steps x by the 16.16 fixed-point slope from half a step in;
// when the truncated slope does not add up to a whole pixel, the last row stays on the left.
inline bool lastRowStaysLeft(int dy)
{
    const qint64 xinc = 65536 / dy;
    return (xinc >> 1) + dy * xinc < 65536;
}

QPen solidPen(const QColor& color)
{
    QPen pen(color);
    pen.setCosmetic(true);
    return pen;
}

QPen dottedPen(const QColor& color)
{
    QPen pen = solidPen(color);
    pen.setStyle(Qt::DotLine);
    return pen;
}
}

DMMChart::DMMChart(QWidget* parent)
    : QFrame(parent)
    , indicatorTimer(new QTimer(this))
{
    lines.append(new ChartLine(this));
    indicatorTimer->setSingleShot(true);
    connect(indicatorTimer, &QTimer::timeout, this, &DMMChart::slotTmrIndicatorTimeout);
    setAttribute(Qt::WA_MouseTracking);
    setMouseTracking(true);
}

DMMChart::~DMMChart()
{
    qDeleteAll(lines);
}

void DMMChart::appendPoint(ChartPoint* point, int line)
{
    if (!point || line < 0 || line >= lines.size()) {
        delete point; // ownership passed to us; nowhere to keep it
        return;
    }
    lines.at(line)->append(point);
    if (!selecting && !zoom.isZoomed()) {
        dirtyAll = true;
        update();
    }
}

void DMMChart::appendPoints(const QList<ChartPoint*>& points, int line)
{
    if (line < 0 || line >= lines.size()) {
        qDeleteAll(points);
        return;
    }
    ChartLine* target = lines.at(line);
    for (ChartPoint* p : points)
        target->append(p);
    if (!selecting && !zoom.isZoomed()) {
        dirtyAll = true;
        update();
    }
}

void DMMChart::clear()
{
    {
        QMutexLocker lock(&mutex);
        for (ChartLine* line : qAsConst(lines))
            line->clear();
    }
    // The zoom named indexes of the points just deleted: return to the full view.
    zoom.reset();
    indicatorIndex = -1;
    indicatorVisible = false;
    dirtyAll = true;
    update();
}

void DMMChart::setLeftMargin(int margin)
{
    if (margin == plotMargins.left)
        return;
    plotMargins.left = margin;
    dirtyAll = true;
    update();
}

void DMMChart::setBottomMargin(int margin)
{
    // Takes effect at once, not at the next resize, so the titles and the plot never disagree.
    if (margin == plotMargins.bottom)
        return;
    plotMargins.bottom = margin;
    dirtyAll = true;
    update();
}

void DMMChart::setXTitle(const QString& title)
{
    if (title == xAxisTitle)
        return;
    xAxisTitle = title;
    dirtyAll = true;
    update();
}

void DMMChart::setUnitText(const QString& text)
{
    if (text == unitTitle)
        return;
    unitTitle = text;
    dirtyAll = true;
    update();
}

void DMMChart::setDecimals(int decimals)
{
    // The value labels are drawn with the background: a new count needs a full redraw.
    if (decimals == labelDecimals)
        return;
    labelDecimals = decimals;
    dirtyAll = true;
    update();
}

bool DMMChart::savePicture(const QString& path)
{
    renderLayers();
    return !finalLayer.isNull() && finalLayer.save(path);
}

QSize DMMChart::sizeHint() const
{
    return QSize(480, 320);
}

QImage DMMChart::picture()
{
    renderLayers();
    return finalLayer.toImage();
}

int DMMChart::pointCount() const
{
    return lines.isEmpty() ? 0 : lines.first()->points.size();
}

const ChartPoint* DMMChart::point(int index) const
{
    if (lines.isEmpty() || index < 0 || index >= lines.first()->points.size())
        return nullptr;
    return lines.first()->points.at(index);
}

QRect DMMChart::plotRect() const
{
    return plotMargins.plotRect(size());
}

bool DMMChart::hasRoom() const
{
    const QRect plot = plotRect();
    return plot.width() > 0 && plot.height() > 0;
}

QString DMMChart::valueLabel(double value, int decimals)
{
    const double magnitude = std::fabs(value);
    QString suffix;
    double shown = value;
    if (magnitude >= 1000000.0) {
        shown = value / 1000000.0;
        suffix = QStringLiteral("M");
    } else if (magnitude >= 1000.0) {
        shown = value / 1000.0;
        suffix = QStringLiteral("k");
    }
    return QString::number(shown, 'f', qMax(0, decimals)) + suffix;
}

int DMMChart::nearestPoint(int x) const
{
    if (lines.isEmpty())
        return -1;
    const QVector<QPoint>& sp = lines.first()->screenPoints;
    if (sp.isEmpty())
        return -1;
    if (x < 0)
        return 0;
    if (x > plotRect().width())
        return sp.size() - 1;
    // Screen x never decreases along the line, so the walk is a binary search.
    auto it = std::lower_bound(
        sp.cbegin(), sp.cend(), x, [](const QPoint& p, int px) { return p.x() < px; });
    if (it == sp.cend())
        return sp.size() - 1;
    const int index = int(it - sp.cbegin());
    if (it->x() == x)
        return index;
    const int previous = qMax(index - 1, 0);
    const int toNext = std::abs(sp.at(index).x() - x);
    const int toPrevious = std::abs(x - sp.at(previous).x());
    return toNext < toPrevious ? index : previous;
}

void DMMChart::slotTmrIndicatorTimeout()
{
    indicatorVisible = false;
    dirtyIndicator = true;
    update();
}

QPoint DMMChart::clampToPlot(const QPoint& pos) const
{
    const QRect plot = plotRect();
    const int w = qMax(0, plot.width());
    const int h = qMax(0, plot.height());
    return QPoint(qBound(0, pos.x() - plot.left(), w), qBound(0, pos.y() - plot.top(), h));
}

void DMMChart::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && anyPoints()) {
        indicatorIndex = -1;
        indicatorVisible = false;
        dirtyIndicator = true;
        update();
        if (!selecting) {
            selecting = true;
            bandStart = clampToPlot(event->pos());
            // A click without a drag must not reuse the end of an earlier band.
            bandEnd = bandStart;
            dirtyBand = true;
        }
    }
    QFrame::mousePressEvent(event);
}

void DMMChart::mouseReleaseEvent(QMouseEvent* event)
{
    if (selecting) {
        zoom.applyBand(bandStart, bandEnd, lines.first()->screenPoints);
        selecting = false;
        dirtyAll = true;
        update();
    }
    QFrame::mouseReleaseEvent(event);
}

void DMMChart::mouseMoveEvent(QMouseEvent* event)
{
    if (selecting) {
        bandEnd = clampToPlot(event->pos());
        dirtyBand = true;
        update();
    } else {
        const int x = clampToPlot(event->pos()).x();
        const int nearest = nearestPoint(x);
        indicatorVisible = nearest != indicatorIndex && nearest != -1;
        if (indicatorVisible) {
            indicatorIndex = nearest;
            indicatorTimer->start(IndicatorMs);
            dirtyIndicator = true;
            update();
        }
    }
    QFrame::mouseMoveEvent(event);
}

void DMMChart::paintEvent(QPaintEvent* event)
{
    renderLayers();
    {
        QPainter painter(this);
        painter.drawPixmap(rect(), finalLayer);
    }
    QFrame::paintEvent(event);
}

void DMMChart::resizeEvent(QResizeEvent* event)
{
    backgroundLayer = QPixmap(size());
    dirtyAll = true;
    QFrame::resizeEvent(event);
}

void DMMChart::fitLayersToWidget()
{
    // A widget painted or saved before its first resize event still gets layers of its size.
    if (backgroundLayer.size() != size()) {
        backgroundLayer = QPixmap(size());
        dirtyAll = true;
    }
}

bool DMMChart::anyPoints() const
{
    for (const ChartLine* line : lines) {
        if (!line->points.isEmpty())
            return true;
    }
    return false;
}

void DMMChart::renderLayers()
{
    QMutexLocker lock(&mutex);
    fitLayersToWidget();
    if (backgroundLayer.isNull())
        return;

    bool redrawn = false;
    if (dirtyAll) {
        dirtyAll = false;
        zoom.fit(pointCount());
        computeScale();
        grid = ChartGrid::place(scale, plotRect(), zoom.shownCount());
        drawBackground();
        redrawn = true;
    }
    if (dirtyLines || redrawn) {
        dirtyLines = false;
        lineLayer = backgroundLayer;
        if (anyPoints() && hasRoom()) {
            QPainter painter(&lineLayer);
            drawLines(painter);
        }
        redrawn = true;
    }
    if (dirtyBand || redrawn) {
        dirtyBand = false;
        bandLayer = lineLayer;
        if (selecting) {
            QPainter painter(&bandLayer);
            drawBand(painter);
        }
        redrawn = true;
    }
    if (dirtyIndicator || redrawn) {
        // While the timer runs the indicator layer is redrawn on every paint.
        if (!indicatorTimer->isActive())
            dirtyIndicator = false;
        finalLayer = bandLayer;
        if (anyPoints() && hasRoom() && indicatorVisible && indicatorIndex != -1) {
            QPainter painter(&finalLayer);
            drawIndicator(painter);
        }
    }
}

void DMMChart::computeScale()
{
    const int first = zoom.firstIndex();
    const int last = zoom.lastIndex();
    double lowest = 0.0;
    double highest = 0.0;
    for (ChartLine* line : qAsConst(lines)) {
        const QVector<double>& values = line->pointValues();
        const int end = qMin(last, values.size() - 1);
        const auto range = ChartScale::extremes(values.constData() + first, end - first + 1);
        line->minValue = range.first;
        line->maxValue = range.second;
        lowest = qMin(lowest, line->minValue);
        highest = qMax(highest, line->maxValue);
    }
    scale = ChartScale::fit(lowest, highest, zoom.shownCount(), plotRect().size());

    for (ChartLine* line : qAsConst(lines)) {
        line->xStep = scale.xStep;
        line->yScale = scale.yScale;
        const QVector<double>& values = line->pointValues();
        const int visible = qMax(0, qMin(last, values.size() - 1) - first + 1);
        line->screenPoints.resize(visible);
        QPoint* out = line->screenPoints.data();
        const double* v = values.constData() + first;
        for (int b = 0; b < visible; ++b)
            out[b] = QPoint(scale.screenX(b), toPixel(scale.yScale * v[b] + 0.5));
    }
}

void DMMChart::drawBackground()
{
    QPainter painter(&backgroundLayer);
    painter.fillRect(QRect(QPoint(0, 0), backgroundLayer.size()), background);
    const QFontMetrics fm = painter.fontMetrics();
    const int fh = fm.height();
    const QPen solid = solidPen(Qt::black);
    const QPen dotted = dottedPen(Qt::black);
    const QRect plot = plotRect();

    if (hasRoom()) {
        painter.setPen(solid);
        painter.drawLine(plot.left() - 1, plot.bottom() + 1, plot.right() + 1, plot.bottom() + 1);

        QVector<int> xs;
        xs.reserve(grid.xLabelCount);
        for (int d = 0; d < grid.xLabelCount; ++d)
            xs.append(int(d * grid.xLabelSpacing + plot.left() + 0.5));
        for (int x : qAsConst(xs))
            painter.drawLine(x, plot.bottom(), x, plot.bottom() + 5);
        painter.setPen(dotted);
        for (int x : qAsConst(xs))
            painter.drawLine(x, plot.bottom(), x, plot.top());
        painter.setPen(solid);
        const ChartLine* line0 = lines.first();
        for (int d = 0; d < xs.size(); ++d) {
            const int index = zoom.firstIndex() + d * grid.pointsPerXLabel;
            if (index < 0 || index >= line0->points.size())
                break;
            const QString text
                = line0->points.at(index)->time.toString(QStringLiteral("yyyy-MM-dd\nhh:mm:ss"));
            const int w = fm.boundingRect(QRect(), Qt::AlignCenter, text).width();
            painter.drawText(QRect(xs.at(d) - w / 2, plot.bottom() + 7, w, 2 * fh),
                Qt::AlignHCenter | Qt::AlignVCenter, text);
        }

        painter.drawLine(plot.left() - 1, plot.top() - 1, plot.left() - 1, plot.bottom() + 1);

        if (grid.hasBase) {
            // Above the base line, then below it; the base line belongs to both passes.
            for (int pass = 0; pass < 2; ++pass) {
                const int count = pass == 0 ? grid.yGridAbove : grid.yGridBelow;
                const int sign = pass == 0 ? -1 : 1;
                QVector<int> ys;
                ys.reserve(count + 1);
                for (int l = 0; l <= count; ++l)
                    ys.append(toPixel(grid.base + sign * l * grid.yGridSpacing));
                painter.setPen(solid);
                for (int y : qAsConst(ys))
                    painter.drawLine(plot.left(), y, plot.left() - 5, y);
                painter.setPen(dotted);
                for (int y : qAsConst(ys))
                    painter.drawLine(plot.left(), y, plot.left() + plot.width(), y);
                painter.setPen(solid);
                for (int l = 0; l < ys.size(); ++l) {
                    const double v = l * grid.yGridStep;
                    // -0 would print as "-0.0" on the base line.
                    const QString text = valueLabel(pass == 0 || l == 0 ? v : -v, labelDecimals);
                    const int w = fm.horizontalAdvance(text);
                    painter.drawText(QRect(plot.left() - 7 - w, ys.at(l) - fh / 2, w, fh),
                        Qt::AlignCenter, text);
                }
            }
        }
    }

    painter.setPen(solid);
    if (!unitTitle.isEmpty()) {
        const int w = fm.horizontalAdvance(unitTitle);
        painter.save();
        painter.translate(
            (plotMargins.left - fm.horizontalAdvance(QStringLiteral("000.0k "))) / 2 - fh / 2,
            w / 2 + plot.height() / 2 + plot.top());
        painter.rotate(-90);
        painter.drawText(QRect(0, 0, w, fh), Qt::AlignCenter, unitTitle);
        painter.restore();
    }
    if (!xAxisTitle.isEmpty()) {
        const int w = fm.horizontalAdvance(xAxisTitle);
        const int top = plot.bottom() + fh + (plotMargins.bottom - fh) / 2;
        painter.drawText(
            QRect(plot.left() + (plot.width() - w) / 2, top, w, fh), Qt::AlignCenter, xAxisTitle);
    }
}

void DMMChart::drawLines(QPainter& painter)
{
    for (ChartLine* line : qAsConst(lines)) {
        if (!line->points.isEmpty())
            drawLine(painter, line);
    }
}

void DMMChart::drawLine(QPainter& painter, ChartLine* line)
{
    const QVector<double>& values = line->pointValues();
    const int first = zoom.firstIndex();
    const int end = qMin(zoom.lastIndex(), values.size() - 1);
    const int visible = end - first + 1;
    if (visible <= 0)
        return;
    const double* v = values.constData() + first;
    const double plotX = plotRect().x();
    const double xStep = scale.xStep;
    const double yScale = scale.yScale;
    const double base = grid.base;
    painter.setPen(solidPen(line->color));

    // The line is the union of the segments between neighbouring points, drawn per pixel column
    // so that a million points cost about as much as the plot has columns. Segments inside one
    // column are vertical and together cover its span from lowest to highest point: one 1-pixel
    // rectangle. A stroked segment to the next column lights its own column from its start to
    // the row before its end (and that last row too, for the downward slopes where the raster
    // engine's fixed-point step falls short), and its end lies in the next column's span: so it
    // only lengthens this column's span. Segments that skip columns, or reach outside the layer
    // where clipping could move their pixels, are stroked as they are.
    const int layerHeight = lineLayer.height();
    auto inside = [layerHeight](int y) { return y >= 0 && y < layerHeight; };
    spans.clear();
    joins.clear();
    int column = INT_MIN;
    int lo = 0;
    int hi = 0;
    int lastY = 0;
    for (int b = 0; b < visible; ++b) {
        const int x = int(b * xStep + plotX);
        const int y = toPixel(base - yScale * v[b]);
        if (x != column) {
            if (column != INT_MIN) {
                const int dy = y - lastY;
                if (x - column == 1 && inside(lastY) && inside(y)) {
                    if (dy >= 2)
                        hi = qMax(hi, lastRowStaysLeft(dy) ? y : y - 1);
                    else if (dy <= -2)
                        lo = qMin(lo, y + 1);
                } else if (x - column > 1 || dy > 1 || dy < -1) {
                    joins.append(QLine(column, lastY, x, y));
                }
                spans.append(QRect(column, lo, 1, hi - lo + 1));
            }
            column = x;
            lo = hi = y;
        } else {
            lo = y < lo ? y : lo;
            hi = y > hi ? y : hi;
        }
        lastY = y;
    }
    spans.append(QRect(column, lo, 1, hi - lo + 1));

    for (const QRect& r : qAsConst(spans))
        painter.fillRect(r, line->color);
    painter.drawLines(joins.constData(), joins.size());
}

void DMMChart::drawBand(QPainter& painter)
{
    const QPoint offset = plotRect().topLeft();
    QPolygon band;
    band << bandStart + offset << QPoint(bandEnd.x(), bandStart.y()) + offset << bandEnd + offset
         << QPoint(bandStart.x(), bandEnd.y()) + offset;
    painter.setPen(dottedPen(Qt::black));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(band);
}

void DMMChart::drawIndicator(QPainter& painter)
{
    const QVector<QPoint>& sp = lines.first()->screenPoints;
    if (sp.isEmpty())
        return;
    if (indicatorIndex >= sp.size())
        indicatorIndex = sp.size() - 1;
    const QFontMetrics fm = painter.fontMetrics();
    const int fh = fm.height();
    const QRect plot = plotRect();
    const int x = sp.at(indicatorIndex).x() + plot.left();
    painter.setPen(solidPen(indicatorColor));
    painter.drawLine(x, plot.top(), x, plot.bottom());

    int y = plot.top();
    for (const ChartLine* line : qAsConst(lines)) {
        const int index = zoom.firstIndex() + indicatorIndex;
        if (index < 0 || index >= line->points.size())
            continue;
        const ChartPoint* point = line->points.at(index);
        const QString text = QStringLiteral("%1:%2").arg(
            point->time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), point->label.toString());
        const int w = fm.horizontalAdvance(text);
        // Near the right edge the text flips to the left of the indicator line.
        int tx = x + 2;
        if (tx + w >= plot.right())
            tx = x - w - 2;
        painter.drawText(QRect(tx, y - fh, w, fh), Qt::AlignCenter, text);
        y = y - fh + 1;
    }
}

#include "dmmchart.h"

#include "coalescingtimer.h"
#include "itemdata.h"
#include "zonecolors.h"

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
#include <memory>

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

// The colour a translucent tint gives over an opaque background, so that the bands are filled
// opaque, as fast as the background itself.
QColor over(const QColor& tint, const QColor& under)
{
    const double a = tint.alphaF();
    return QColor::fromRgbF(under.redF() * (1 - a) + tint.redF() * a,
        under.greenF() * (1 - a) + tint.greenF() * a, under.blueF() * (1 - a) + tint.blueF() * a);
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
    , coalescedRepaint(new CoalescingTimer([this] { update(); }, this))
{
    lines.append(new ChartLine(this));
    indicatorTimer->setSingleShot(true);
    connect(indicatorTimer, &QTimer::timeout, this, &DMMChart::slotTmrIndicatorTimeout);
    setAttribute(Qt::WA_MouseTracking);
    setMouseTracking(true);
    // The final layer covers the whole widget: nothing behind it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

DMMChart::~DMMChart()
{
    qDeleteAll(lines);
    for (const auto& hidden : qAsConst(hiddenLines))
        delete hidden.second;
}

void DMMChart::appendPoint(ChartPoint* point, int line)
{
    // The line keeps a copy in its own storage; the point passed in is ours to delete.
    const std::unique_ptr<ChartPoint> owned(point);
    if (!point || line < 0 || line >= lines.size())
        return;
    if (line == 0)
        lineChanged(nullptr);
    lines.at(line)->append(*point);
    pointsAdded();
}

void DMMChart::appendPoints(const QList<ChartPoint*>& points, int line)
{
    if (line >= 0 && line < lines.size()) {
        if (line == 0 && !points.isEmpty())
            lineChanged(nullptr);
        ChartLine* target = lines.at(line);
        target->reserve(points.size());
        for (const ChartPoint* p : points) {
            if (p)
                target->append(*p);
        }
        pointsAdded();
    }
    qDeleteAll(points);
}

void DMMChart::appendReadings(const QList<DmmData*>& readings, int line)
{
    if (line < 0 || line >= lines.size())
        return;
    if (line == 0 && !readings.isEmpty())
        lineChanged(nullptr);
    ChartLine* target = lines.at(line);
    target->reserve(readings.size());
    for (const DmmData* reading : readings)
        target->append(reading);
    pointsAdded();
}

void DMMChart::appendReading(const DmmData* reading, int line)
{
    if (!reading || line < 0 || line >= lines.size())
        return;
    if (line == 0)
        lineChanged(reading);
    lines.at(line)->append(reading);
    pointsAdded();
}

void DMMChart::lineChanged(const DmmData* appended)
{
    // Line 0 stays the item's only while it grows by the item's next reading.
    if (!lineItem)
        return;
    const int next = lines.first()->size();
    if (!appended || next >= lineItem->readingCount() || lineItem->readingAt(next) != appended)
        lineItem = nullptr;
}

void DMMChart::showItem(const ItemData* item)
{
    {
        QMutexLocker lock(&mutex);
        if (item != lineItem || !item) {
            ChartLine* next = item ? takeHiddenLine(item) : nullptr;
            ChartLine* shown = lines.first();
            if (lineItem) {
                hiddenLines.append({ lineItem, shown });
                if (!next)
                    next = new ChartLine(this);
            } else if (next) {
                delete shown;
            } else {
                // Its columns keep their capacity for the next item's points.
                shown->clear();
                next = shown;
            }
            lines[0] = next;
            lineItem = item;
            if (item)
                follow(item);
            trimHiddenLines();
        }
        if (item) {
            // Items only ever grow, or clear all their readings: what the line lacks is the end.
            const QList<DmmData*> readings = item->readings();
            ChartLine* line = lines.first();
            line->reserve(readings.size() - line->size());
            for (int i = line->size(); i < readings.size(); ++i)
                line->append(readings.at(i));
        }
    }
    resetView();
}

ChartLine* DMMChart::takeHiddenLine(const ItemData* item)
{
    for (int i = 0; i < hiddenLines.size(); ++i) {
        if (hiddenLines.at(i).first == item)
            return hiddenLines.takeAt(i).second;
    }
    return nullptr;
}

void DMMChart::trimHiddenLines()
{
    // About 17 bytes a point: a day of readings at the line rate, some 150 MB, stays at hand.
    constexpr qint64 HiddenPointBudget = 24 * 3600 * 100;
    qint64 total = 0;
    for (const auto& hidden : qAsConst(hiddenLines))
        total += hidden.second->size();
    while (!hiddenLines.isEmpty() && total > HiddenPointBudget) {
        const auto oldest = hiddenLines.takeFirst();
        total -= oldest.second->size();
        delete oldest.second;
        if (oldest.first != lineItem)
            disconnect(oldest.first, nullptr, this, nullptr);
    }
}

void DMMChart::followItem(const ItemData* item)
{
    if (!item || item == lineItem || item->readingCount() > 0)
        return;
    for (const auto& hidden : qAsConst(hiddenLines)) {
        if (hidden.first == item)
            return;
    }
    QMutexLocker lock(&mutex);
    hiddenLines.append({ item, new ChartLine(this) });
    follow(item);
}

void DMMChart::follow(const ItemData* item)
{
    disconnect(item, nullptr, this, nullptr);
    connect(item, &ItemData::readingAppended, this,
        [this, item](const DmmData* reading) { hiddenItemGrew(item, reading); });
    connect(item, &ItemData::readingsAboutToBeCleared, this, [this, item] { forgetItem(item); });
    connect(item, &QObject::destroyed, this, [this, item] { forgetItem(item); });
}

void DMMChart::hiddenItemGrew(const ItemData* item, const DmmData* reading)
{
    // The shown item's line takes its readings through appendReading, as before.
    for (const auto& hidden : qAsConst(hiddenLines)) {
        if (hidden.first != item)
            continue;
        ChartLine* line = hidden.second;
        // Only a line that holds every earlier reading grows; any other is completed when shown.
        if (line->size() == item->readingCount() - 1) {
            line->append(reading);
            // The budget is looked at now and then, not on every reading.
            if (line->size() % 65536 == 0) {
                QMutexLocker lock(&mutex);
                trimHiddenLines();
            }
        }
        return;
    }
}

void DMMChart::forgetItem(const QObject* item)
{
    // A cleared or deleted item's points are stale; line 0 keeps them until it is cleared or
    // shows another item, as before.
    disconnect(item, nullptr, this, nullptr);
    if (lineItem == item)
        lineItem = nullptr;
    for (int i = hiddenLines.size() - 1; i >= 0; --i) {
        if (hiddenLines.at(i).first == item)
            delete hiddenLines.takeAt(i).second;
    }
}

void DMMChart::pointsAdded()
{
    if (!selecting && !zoom.isZoomed()) {
        dirtyAll = true;
        coalescedRepaint->request();
    }
}

void DMMChart::clear()
{
    {
        QMutexLocker lock(&mutex);
        for (ChartLine* line : qAsConst(lines))
            line->clear();
    }
    // Line 0 stays its item's: it now holds none of the item's readings, a true start.
    resetView();
}

void DMMChart::resetView()
{
    // The zoom named indexes of points no longer shown: return to the full view.
    zoom.reset();
    zoom.fit(0);
    shownAtRedraw = 0;
    indicatorIndex = -1;
    indicatorVisible = false;
    dirtyAll = true;
    coalescedRepaint->request();
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

void DMMChart::setZones(const ChartZones& zones)
{
    // Bands and levels are drawn with the background: a change needs a full redraw.
    if (zones == shownZones)
        return;
    shownZones = zones;
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
    return finalLayer;
}

int DMMChart::pointCount() const
{
    return lines.isEmpty() ? 0 : lines.first()->size();
}

std::optional<ChartPoint> DMMChart::point(int index) const
{
    if (lines.isEmpty() || index < 0 || index >= lines.first()->size())
        return std::nullopt;
    return lines.first()->pointAt(index);
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
    return ChartGrid::valueText(value, decimals);
}

int DMMChart::nearestPoint(int x) const
{
    const int shown = shownAtRedraw;
    if (lines.isEmpty() || shown <= 0)
        return -1;
    if (x < 0)
        return 0;
    if (x > plotRect().width())
        return shown - 1;
    const int index = scale.firstReaching(x, shown);
    if (index == shown)
        return shown - 1;
    const int atIndex = scale.screenX(index);
    if (atIndex == x)
        return index;
    const int previous = qMax(index - 1, 0);
    const int toNext = std::abs(atIndex - x);
    const int toPrevious = std::abs(x - scale.screenX(previous));
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
        zoom.applyBand(bandStart, bandEnd, scale);
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
        painter.drawImage(rect(), finalLayer);
    }
    QFrame::paintEvent(event);
}

void DMMChart::resizeEvent(QResizeEvent* event)
{
    lineLayer = newLayer(size());
    dirtyAll = true;
    QFrame::resizeEvent(event);
}

QImage DMMChart::newLayer(const QSize& size)
{
    // The format of an opaque pixmap on the raster engine, so pictures stay as they were.
    return QImage(size, QImage::Format_RGB32);
}

void DMMChart::fitLayersToWidget()
{
    // A widget painted or saved before its first resize event still gets layers of its size.
    if (lineLayer.size() != size()) {
        lineLayer = newLayer(size());
        dirtyAll = true;
    }
}

bool DMMChart::anyPoints() const
{
    for (const ChartLine* line : lines) {
        if (line->size() > 0)
            return true;
    }
    return false;
}

void DMMChart::renderLayers()
{
    QMutexLocker lock(&mutex);
    fitLayersToWidget();
    if (lineLayer.isNull())
        return;

    bool redrawn = false;
    if (dirtyAll) {
        dirtyAll = false;
        zoom.fit(pointCount());
        computeScale();
        grid = ChartGrid::place(scale, plotRect(), zoom.shownCount());
        // Background and lines are only ever redrawn together, so they share one layer, painted
        // in place: a redraw then neither copies nor allocates it. The upper layers let go of
        // its pixels first.
        bandLayer = QImage();
        finalLayer = QImage();
        if (!lineLayer.isDetached())
            lineLayer = newLayer(lineLayer.size());
        drawBackground();
        if (anyPoints() && hasRoom())
            drawLines();
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
        const auto range = line->extremes(first, qMin(last, line->size() - 1));
        line->minValue = range.first;
        line->maxValue = range.second;
        lowest = qMin(lowest, line->minValue);
        highest = qMax(highest, line->maxValue);
    }
    scale = ChartScale::fit(lowest, highest, zoom.shownCount(), plotRect().size());
    for (ChartLine* line : qAsConst(lines)) {
        line->xStep = scale.xStep;
        line->yScale = scale.yScale;
    }
    shownAtRedraw = qMax(0, qMin(last, pointCount() - 1) - first + 1);
}

void DMMChart::drawBackground()
{
    QPainter painter(&lineLayer);
    painter.fillRect(QRect(QPoint(0, 0), lineLayer.size()), background);
    const QFontMetrics fm = painter.fontMetrics();
    const int fh = fm.height();
    const QPen solid = solidPen(Qt::black);
    const QRect plot = plotRect();

    if (hasRoom()) {
        drawZoneBands(painter, plot);
        painter.setPen(solid);
        painter.drawLine(plot.left() - 1, plot.bottom() + 1, plot.right() + 1, plot.bottom() + 1);

        QVector<int> xs;
        xs.reserve(grid.xLabelCount);
        for (int d = 0; d < grid.xLabelCount; ++d)
            xs.append(int(d * grid.xLabelSpacing + plot.left() + 0.5));
        for (int x : qAsConst(xs))
            painter.drawLine(x, plot.bottom(), x, plot.bottom() + 5);
        for (int x : qAsConst(xs))
            drawDottedLine(painter, QPoint(x, plot.bottom()), QPoint(x, plot.top()));
        const ChartLine* line0 = lines.first();
        for (int d = 0; d < xs.size(); ++d) {
            const int index = zoom.firstIndex() + d * grid.pointsPerXLabel;
            if (index < 0 || index >= line0->size())
                break;
            const QString text = line0->timeText(index, QStringLiteral("yyyy-MM-dd"),
                QStringLiteral("\n"), QStringLiteral("hh:mm:ss"));
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
                for (int y : qAsConst(ys))
                    drawDottedLine(
                        painter, QPoint(plot.left(), y), QPoint(plot.left() + plot.width(), y));
                for (int l = 0; l < ys.size(); ++l) {
                    const QString text = grid.valueLabel(l, pass == 1, labelDecimals);
                    const int w = fm.horizontalAdvance(text);
                    painter.drawText(QRect(plot.left() - 7 - w, ys.at(l) - fh / 2, w, fh),
                        Qt::AlignCenter, text);
                }
            }
        }
        drawLevels(painter, plot);
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

void DMMChart::drawDottedLine(QPainter& painter, const QPoint& from, const QPoint& to)
{
    // Qt's dashed stroker takes a tenth of a millisecond for the grid. Every grid line of one
    // direction has the same length and so the same dots, counted from its start: they are
    // stroked once into a strip and copied from there, pixel for pixel the same.
    const bool vertical = from.x() == to.x();
    const int length = vertical ? from.y() - to.y() + 1 : to.x() - from.x() + 1;
    if ((vertical ? from.y() < to.y() : from.y() != to.y()) || length < 2) {
        const QPen pen = painter.pen();
        painter.setPen(dottedPen(Qt::black));
        painter.drawLine(from, to);
        painter.setPen(pen);
        return;
    }
    QImage& strip = vertical ? verticalDots : horizontalDots;
    const QSize size = vertical ? QSize(1, length) : QSize(length, 1);
    if (strip.size() != size) {
        strip = QImage(size, QImage::Format_ARGB32_Premultiplied);
        strip.fill(Qt::transparent);
        QPainter stripPainter(&strip);
        stripPainter.setPen(dottedPen(Qt::black));
        stripPainter.drawLine(
            QPoint(0, vertical ? length - 1 : 0), QPoint(vertical ? 0 : length - 1, 0));
    }
    painter.drawImage(vertical ? to : from, strip);
}

int DMMChart::valueRow(double value) const
{
    // The row the line puts this value on.
    return toPixel(grid.base - scale.yScale * value);
}

void DMMChart::drawZoneBands(QPainter& painter, const QRect& plot)
{
    if (!shownZones.limits || !grid.hasBase)
        return;
    const SeverityZones::Limits& l = *shownZones.limits;
    // A value on a boundary belongs to the lower zone, and so does the boundary's row. Zone A
    // starts at zero (an RMS value is never negative) and zone D reaches up to the plot's top.
    const int rowZero = valueRow(0.0);
    const int rowAB = valueRow(l.ab);
    const int rowBC = valueRow(l.bc);
    const int rowCD = valueRow(l.cd);
    const struct
    {
        SeverityZones::Zone zone;
        int top;
        int bottom;
    } bands[] = {
        { SeverityZones::A, rowAB, rowZero },
        { SeverityZones::B, rowBC, rowAB - 1 },
        { SeverityZones::C, rowCD, rowBC - 1 },
        { SeverityZones::D, plot.top(), rowCD - 1 },
    };
    for (const auto& band : bands) {
        const int top = qMax(band.top, plot.top());
        const int bottom = qMin(band.bottom, plot.bottom());
        if (top <= bottom)
            painter.fillRect(QRect(plot.left(), top, plot.width(), bottom - top + 1),
                over(ZoneColors::tint(band.zone), background));
    }
}

void DMMChart::drawLevels(QPainter& painter, const QRect& plot)
{
    if (!grid.hasBase)
        return;
    const QFontMetrics fm = painter.fontMetrics();
    const struct
    {
        std::optional<double> level;
        std::optional<double> other;
        QColor color;
        QString name;
    } levels[] = {
        { shownZones.alertLevel, shownZones.dangerLevel, ZoneColors::alert(), tr("alert") },
        { shownZones.dangerLevel, shownZones.alertLevel, ZoneColors::danger(), tr("danger") },
    };
    for (const auto& level : levels) {
        if (!level.level)
            continue;
        const int y = valueRow(*level.level);
        if (y < plot.top() || y > plot.bottom())
            continue;
        painter.setPen(solidPen(level.color));
        painter.drawLine(plot.left(), y, plot.right(), y);
        // The label sits above its line, or below it where the plot's top or the other level's
        // line leaves no room.
        const QString text
            = QStringLiteral("%1 %2 %3")
                  .arg(level.name, ChartGrid::valueText(*level.level, labelDecimals), unitTitle)
                  .trimmed();
        const int fh = fm.height();
        const int otherY = level.other ? valueRow(*level.other) : INT_MIN;
        const bool below = y - fh < plot.top() || (otherY < y && otherY >= y - fh);
        const int w = fm.horizontalAdvance(text);
        painter.setPen(solidPen(level.color.darker(130)));
        painter.drawText(
            QRect(plot.right() - 2 - w, below ? y + 1 : y - fh, w, fh), Qt::AlignCenter, text);
    }
}

void DMMChart::drawLines()
{
    for (ChartLine* line : qAsConst(lines)) {
        if (line->size() > 0)
            drawLine(line);
    }
}

void DMMChart::drawLine(ChartLine* line)
{
    const int first = zoom.firstIndex();
    const int end = qMin(zoom.lastIndex(), line->size() - 1);
    if (end < first)
        return;
    spans.clear();
    joins.clear();
    // Points that are not drawn break the line: each run between them is drawn on its own.
    for (int from = first; from <= end;) {
        const int to = qMin(line->nextGap(from), end + 1);
        if (to > from)
            drawRun(line, from, to);
        from = to + 1;
    }

    // The spans are 1-pixel columns of an opaque colour: written straight into the layer, as
    // fillRect would, clipped to it.
    const QRgb rgb = line->color.rgb();
    uchar* bits = lineLayer.bits();
    const qsizetype stride = lineLayer.bytesPerLine();
    const int width = lineLayer.width();
    const int height = lineLayer.height();
    for (const QRect& r : qAsConst(spans)) {
        if (r.x() < 0 || r.x() >= width)
            continue;
        const int top = qMax(r.top(), 0);
        const int bottom = qMin(r.bottom(), height - 1);
        uchar* at = bits + top * stride + r.x() * sizeof(QRgb);
        for (int y = top; y <= bottom; ++y, at += stride)
            *reinterpret_cast<QRgb*>(at) = rgb;
    }

    QPainter painter(&lineLayer);
    painter.setPen(solidPen(line->color));
    painter.drawLines(joins.constData(), joins.size());
    drawMarks(painter, line);
}

void DMMChart::drawRun(ChartLine* line, int from, int to)
{
    const double* v = line->valueData();
    const int first = zoom.firstIndex();
    const double plotX = plotRect().x();
    const double xStep = scale.xStep;
    const double yScale = scale.yScale;
    const double base = grid.base;
    auto xOf = [=](int i) { return int((i - first) * xStep + plotX); };
    auto yOf = [=](double value) { return toPixel(base - yScale * value); };

    // The run is the union of the segments between its neighbouring points, drawn per pixel
    // column, so that a million points cost about as much as the plot has columns. Segments
    // inside one column are vertical and together cover its span from lowest to highest point:
    // one 1-pixel rectangle. A stroked segment to the next column lights its own column from its
    // start to the row before its end (and that last row too, for the downward slopes where the
    // raster engine's fixed-point step falls short), and its end lies in the next column's span:
    // so it only lengthens this column's span. Segments that skip columns, or reach outside the
    // layer where clipping could move their pixels, are stroked as they are.
    const int layerHeight = lineLayer.height();
    auto inside = [layerHeight](int y) { return y >= 0 && y < layerHeight; };
    int column = INT_MIN;
    int lo = 0;
    int hi = 0;
    int lastY = 0;
    // The next column begins at (x, y) and covers rows columnLo to columnHi.
    auto enterColumn = [&](int x, int y, int columnLo, int columnHi) {
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
        lo = columnLo;
        hi = columnHi;
    };

    if (xStep >= 0.5) {
        // Few points per column: each point on its own.
        for (int i = from; i < to; ++i) {
            const int x = xOf(i);
            const int y = yOf(v[i]);
            if (x != column) {
                enterColumn(x, y, y, y);
            } else {
                lo = y < lo ? y : lo;
                hi = y > hi ? y : hi;
            }
            lastY = y;
        }
    } else {
        // Many points per column: the first and last point of each column, and its extremes
        // from the block index. y falls as the value rises, so the largest value is the top row.
        for (int i = from; i < to;) {
            const int x = xOf(i);
            int next = first + int(std::ceil((x + 1 - plotX) / xStep));
            next = qBound(i + 1, next, to);
            while (next > i + 1 && xOf(next - 1) > x)
                --next;
            while (next < to && xOf(next) <= x)
                ++next;
            const int firstY = yOf(v[i]);
            const int lastYInColumn = yOf(v[next - 1]);
            int columnLo = qMin(firstY, lastYInColumn);
            int columnHi = qMax(firstY, lastYInColumn);
            if (next - i > 2) {
                double lowest = 0.0;
                double highest = 0.0;
                line->minMaxOfRun(i + 1, next - 1, lowest, highest);
                if (lowest <= highest) {
                    columnLo = qMin(columnLo, yOf(highest));
                    columnHi = qMax(columnHi, yOf(lowest));
                }
            }
            enterColumn(x, firstY, columnLo, columnHi);
            lastY = lastYInColumn;
            i = next;
        }
    }
    spans.append(QRect(column, lo, 1, hi - lo + 1));
}

void DMMChart::drawMarks(QPainter& painter, ChartLine* line)
{
    // Over-range readings leave a gap in the line and a small mark at the edge they went past.
    const QVector<int>& gaps = line->gaps();
    const int first = zoom.firstIndex();
    const int end = qMin(zoom.lastIndex(), line->size() - 1);
    const QRect plot = plotRect();
    const double plotX = plot.x();
    marks.clear();
    int lastTop = INT_MIN;
    int lastBottom = INT_MIN;
    for (auto it = std::lower_bound(gaps.cbegin(), gaps.cend(), first);
         it != gaps.cend() && *it <= end; ++it) {
        const int state = line->stateAt(*it);
        const int x = int((*it - first) * scale.xStep + plotX);
        if (state == 1 && x != lastTop) {
            marks.append(QRect(x - 1, plot.top(), 3, 4));
            lastTop = x;
        } else if (state == -1 && x != lastBottom) {
            marks.append(QRect(x - 1, plot.bottom() - 3, 3, 4));
            lastBottom = x;
        }
    }
    for (const QRect& r : qAsConst(marks))
        painter.fillRect(r, line->color);
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
    const int shown = shownAtRedraw;
    if (shown <= 0)
        return;
    if (indicatorIndex >= shown)
        indicatorIndex = shown - 1;
    const QFontMetrics fm = painter.fontMetrics();
    const int fh = fm.height();
    const QRect plot = plotRect();
    const int x = scale.screenX(indicatorIndex) + plot.left();
    painter.setPen(solidPen(indicatorColor));
    painter.drawLine(x, plot.top(), x, plot.bottom());

    int y = plot.top();
    for (const ChartLine* line : qAsConst(lines)) {
        const int index = zoom.firstIndex() + indicatorIndex;
        if (index < 0 || index >= line->size())
            continue;
        const QString text
            = QStringLiteral("%1:%2").arg(line->timeText(index, QStringLiteral("yyyy-MM-dd"),
                                              QStringLiteral(" "), QStringLiteral("hh:mm:ss")),
                line->labelAt(index).toString());
        const int w = fm.horizontalAdvance(text);
        // Near the right edge the text flips to the left of the indicator line.
        int tx = x + 2;
        if (tx + w >= plot.right())
            tx = x - w - 2;
        painter.drawText(QRect(tx, y - fh, w, fh), Qt::AlignCenter, text);
        y = y - fh + 1;
    }
}

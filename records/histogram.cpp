#include "histogram.h"

#include "nicestep.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

void HistogramBin::recount(const QList<double>& values)
{
    allValues = values;
    binValues.clear();
    if (!range)
        return;
    for (double v : values) {
        if (range->contains(v))
            binValues.append(v);
    }
}

Histogram::Histogram(QWidget* parent)
    : QWidget(parent)
{
}

Histogram::~Histogram()
{
    qDeleteAll(bars);
    qDeleteAll(bins);
    qDeleteAll(ranges);
}

void Histogram::setRanges(const QList<BinRange*>& list)
{
    if (list != ranges) {
        for (BinRange* old : qAsConst(ranges)) {
            if (!list.contains(old))
                delete old;
        }
        ranges = list;
    }
    qDeleteAll(bars);
    bars.clear();
    qDeleteAll(bins);
    bins.clear();
    for (BinRange* range : qAsConst(ranges)) {
        auto* bin = new HistogramBin;
        bin->range = range;
        bin->recount(values);
        bins.append(bin);
        auto* bar = new HistogramBar;
        bar->bin = bin;
        bars.append(bar);
    }
}

void Histogram::setRanges(const QList<QPair<double, double>>& limits)
{
    QList<BinRange*> list;
    for (const auto& limit : limits)
        list.append(new BinRange { limit.first, limit.second });
    setRanges(list);
}

void Histogram::setMargins(int left, int top, int right, int bottom)
{
    margins = QMargins(left, top, right, bottom);
}

void Histogram::setXTitle(const QString& title)
{
    if (title == xTitle)
        return;
    xTitle = title;
    dirtyAxes = true;
    update();
}

void Histogram::setYTitle(const QString& title)
{
    if (title == yTitle)
        return;
    yTitle = title;
    dirtyAxes = true;
    update();
}

void Histogram::clearValues()
{
    setValues(QList<double>());
}

void Histogram::setValues(const QList<double>& list)
{
    values = list;
    recountBins();
    dirtyAxes = true;
    update();
}

void Histogram::recountBins()
{
    for (HistogramBin* bin : qAsConst(bins))
        bin->recount(values);
}

QSize Histogram::sizeHint() const
{
    return QSize(480, 320);
}

QImage Histogram::picture()
{
    renderLayers();
    return topLayer.toImage();
}

void Histogram::layoutRows()
{
    maxCount = 0;
    for (const HistogramBin* bin : qAsConst(bins))
        maxCount = qMax(maxCount, bin->binValues.size());
    if (maxCount == 0)
        maxCount = 1;

    countStep = 1;
    pixelsPerCount = (plotRect.width() - 1) / maxCount;
    // Ticks at least 50 pixels apart; a plot without room gets no ticks (step 0).
    if (pixelsPerCount < 50)
        countStep = NiceStep::smallestMultiple(2, pixelsPerCount, 50.0);

    rowCount = ranges.size();
    rowHeight = rowCount > 0 ? plotRect.height() / rowCount : 1.0;

    for (int m = 0; m < bars.size(); ++m) {
        HistogramBar* bar = bars.at(m);
        const int count = bar->bin ? bar->bin->binValues.size() : 0;
        const int length = qMax(1, int(count * pixelsPerCount));
        bar->rect = QRectF(0, 0.1 * rowHeight - (m + 1) * rowHeight, length, 0.8 * rowHeight);
    }
}

void Histogram::paintEvent(QPaintEvent*)
{
    renderLayers();
    QPainter painter(this);
    painter.drawPixmap(0, 0, topLayer);
}

void Histogram::resizeEvent(QResizeEvent* event)
{
    plotRect = QRectF(0, 0, width() - margins.right() - margins.left(),
        height() - margins.bottom() - margins.top());
    dirtyAxes = true;
    QWidget::resizeEvent(event);
}

void Histogram::renderLayers()
{
    // Margins only take effect at a resize; a widget drawn before its first one uses them now.
    if (axesLayer.size() != size()) {
        plotRect = QRectF(0, 0, width() - margins.right() - margins.left(),
            height() - margins.bottom() - margins.top());
        dirtyAxes = true;
    }
    layoutRows();
    bool redrawn = false;
    if (dirtyAxes) {
        dirtyAxes = false;
        drawAxes();
        redrawn = true;
    }
    if (dirtyBars || redrawn) {
        dirtyBars = false;
        drawBars();
        redrawn = true;
    }
    if (dirtyTop || redrawn) {
        dirtyTop = false;
        topLayer = barsLayer;
    }
}

void Histogram::setLogicalWindow(QPainter& painter) const
{
    // (0, 0) is the plot's bottom-left corner; the plot spans y from -height to 0.
    painter.setWindow(-margins.left(), margins.bottom() - height(), width(), height());
}

void Histogram::drawAxes()
{
    axesLayer = QPixmap(size());
    if (axesLayer.isNull())
        return;
    QPainter painter(&axesLayer);
    painter.fillRect(QRect(QPoint(0, 0), size()), Qt::white);
    const QFontMetrics fm = painter.fontMetrics();
    const int fh = fm.height();
    const double plotW = plotRect.width();
    const double plotH = plotRect.height();

    if (hasRoom()) {
        setLogicalWindow(painter);
        painter.setPen(Qt::black);
        painter.drawLine(QLineF(-1, 1, plotW, 1));
        painter.drawLine(QLineF(-1, 1, -1, -plotH));

        const double tick = countStep * pixelsPerCount;
        if (countStep > 0 && tick > 0 && tick <= plotW) {
            for (int i = 0; i * tick <= plotW; ++i) {
                const int x = int(i * tick - 1);
                painter.drawLine(x, 1, x, 6);
                const QString label = QString::number(i * countStep);
                const int lw = fm.horizontalAdvance(label);
                painter.drawText(QRect(x - lw / 2 + 1, 7, lw, fh), Qt::AlignCenter, label);
            }
        }

        const int columnWidth = fm.horizontalAdvance(QStringLiteral("0000.0 "));
        const int blank = fm.horizontalAdvance(QStringLiteral(" "));
        const int last = bars.size() - 1;
        for (int m = 0; m < bars.size(); ++m) {
            const HistogramBar* bar = bars.at(m);
            const BinRange* range = bar->bin ? bar->bin->range : nullptr;
            QString bottom;
            QString top;
            if (m == 0 || m == last) {
                if (m == 0)
                    bottom = QStringLiteral("-OL ");
                if (m == last)
                    top = QStringLiteral("OL ");
            } else if (range) {
                bottom = QString::number(range->low, 'f', 1) + QStringLiteral("x");
                top = QString::number(range->high, 'f', 1) + QStringLiteral(" ");
            }
            const double left = bar->rect.x() - columnWidth - blank;
            const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
            painter.drawText(
                QRectF(left, bar->rect.bottom() - fh, columnWidth, fh), right, bottom);
            painter.drawText(QRectF(left, bar->rect.top(), columnWidth, fh), right, top);
            if (m != 0 && m != last && bar->rect.height() >= 3 * fh) {
                painter.drawText(QRectF(left, bar->rect.center().y() - fh / 2.0, columnWidth, fh),
                    Qt::AlignCenter, QStringLiteral("|"));
            }
        }
        painter.setWindow(rect());
    }

    if (!yTitle.isEmpty()) {
        const int w = fm.horizontalAdvance(yTitle);
        painter.save();
        painter.translate(
            (margins.left() - fm.horizontalAdvance(QStringLiteral("0000.1"))) / 2 - fh / 2,
            w / 2 + (height() - margins.bottom() - margins.top()) / 2 + margins.top());
        painter.rotate(-90);
        painter.drawText(QRect(0, 0, w, fh), Qt::AlignCenter, yTitle);
        painter.restore();
    }
    if (!xTitle.isEmpty()) {
        const int w = fm.horizontalAdvance(xTitle);
        const int top = (margins.bottom() - fh) / 2 + height() + fh - margins.bottom();
        painter.drawText(QRect(margins.left() + (int(plotW) - w) / 2, top, w, fh),
            Qt::AlignCenter, xTitle);
    }
}

void Histogram::drawBars()
{
    barsLayer = axesLayer;
    if (barsLayer.isNull() || !hasRoom())
        return;
    QPainter painter(&barsLayer);
    setLogicalWindow(painter);
    const QFontMetrics fm = painter.fontMetrics();
    const int blank = fm.horizontalAdvance(QStringLiteral(" "));
    for (HistogramBar* bar : qAsConst(bars)) {
        painter.setPen(Qt::transparent);
        bar->color = QColor(250, 150, 0);
        painter.fillRect(bar->rect, bar->color);
        painter.setPen(QColor(0, 100, 250));
        const int count = bar->bin ? bar->bin->binValues.size() : 0;
        const QString text = QStringLiteral("%1 ").arg(count);
        const int tw = fm.horizontalAdvance(text);
        if (bar->rect.width() >= tw) {
            painter.drawText(bar->rect, Qt::AlignCenter, text);
        } else {
            const QRectF beside(bar->rect.right() + blank / 2.0, bar->rect.top(),
                bar->rect.width() + tw, bar->rect.height());
            painter.drawText(beside, Qt::AlignCenter, text);
        }
    }
}

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
{ }

Histogram::~Histogram()
{
    qDeleteAll(bars);
    qDeleteAll(bins);
    qDeleteAll(binRanges);
}

void Histogram::setRanges(const QList<BinRange*>& list)
{
    if (list == binRanges)
        return;
    for (BinRange* old : qAsConst(binRanges)) {
        if (!list.contains(old))
            delete old;
    }
    binRanges = list;
    qDeleteAll(bars);
    bars.clear();
    qDeleteAll(bins);
    bins.clear();
    for (BinRange* range : qAsConst(binRanges)) {
        auto* bin = new HistogramBin;
        bin->range = range;
        bin->recount(countedValues);
        bins.append(bin);
        auto* bar = new HistogramBar;
        bar->bin = bin;
        bars.append(bar);
    }
    dirtyAxes = true;
    update();
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
    const PlotMargins margins { left, top, right, bottom };
    if (margins == plotMargins)
        return;
    plotMargins = margins;
    dirtyAxes = true;
    update();
}

void Histogram::setXTitle(const QString& title)
{
    if (title == countTitle)
        return;
    countTitle = title;
    dirtyAxes = true;
    update();
}

void Histogram::setYTitle(const QString& title)
{
    if (title == rangeTitle)
        return;
    rangeTitle = title;
    dirtyAxes = true;
    update();
}

void Histogram::clearValues()
{
    setValues(QList<double>());
}

void Histogram::setValues(const QList<double>& list)
{
    if (list == countedValues)
        return;
    countedValues = list;
    recountBins();
    dirtyAxes = true;
    update();
}

void Histogram::recountBins()
{
    for (HistogramBin* bin : qAsConst(bins))
        bin->recount(countedValues);
}

QVector<int> Histogram::counts() const
{
    QVector<int> result;
    result.reserve(bins.size());
    for (const HistogramBin* bin : bins)
        result.append(bin->binValues.size());
    return result;
}

QRect Histogram::plotRect() const
{
    return plotMargins.plotRect(size());
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

void Histogram::paintEvent(QPaintEvent*)
{
    renderLayers();
    QPainter painter(this);
    painter.drawPixmap(0, 0, topLayer);
}

void Histogram::resizeEvent(QResizeEvent* event)
{
    dirtyAxes = true;
    QWidget::resizeEvent(event);
}

void Histogram::renderLayers()
{
    // A widget drawn before its first resize event still gets layers of its size.
    if (axesLayer.size() != size())
        dirtyAxes = true;
    rows = HistogramLayout::place(counts(), plotRect().size());
    for (int m = 0; m < bars.size(); ++m)
        bars.at(m)->rect = rows.barRects.at(m);
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
    painter.setWindow(-plotMargins.left, plotMargins.bottom - height(), width(), height());
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
    const QRect plot = plotRect();
    const double plotW = plot.width();
    const double plotH = plot.height();

    if (rows.hasRoom()) {
        setLogicalWindow(painter);
        painter.setPen(Qt::black);
        painter.drawLine(QLineF(-1, 1, plotW, 1));
        painter.drawLine(QLineF(-1, 1, -1, -plotH));

        const double tick = rows.countStep * rows.pixelsPerCount;
        if (rows.countStep > 0 && tick > 0 && tick <= plotW) {
            for (int i = 0; i * tick <= plotW; ++i) {
                const int x = int(i * tick - 1);
                painter.drawLine(x, 1, x, 6);
                const QString label = QString::number(i * rows.countStep);
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
            painter.drawText(QRectF(left, bar->rect.bottom() - fh, columnWidth, fh), right, bottom);
            painter.drawText(QRectF(left, bar->rect.top(), columnWidth, fh), right, top);
            if (m != 0 && m != last && bar->rect.height() >= 3 * fh) {
                painter.drawText(QRectF(left, bar->rect.center().y() - fh / 2.0, columnWidth, fh),
                    Qt::AlignCenter, QStringLiteral("|"));
            }
        }
        painter.setWindow(rect());
    }

    if (!rangeTitle.isEmpty()) {
        const int w = fm.horizontalAdvance(rangeTitle);
        painter.save();
        painter.translate(
            (plotMargins.left - fm.horizontalAdvance(QStringLiteral("0000.1"))) / 2 - fh / 2,
            w / 2 + plot.height() / 2 + plot.top());
        painter.rotate(-90);
        painter.drawText(QRect(0, 0, w, fh), Qt::AlignCenter, rangeTitle);
        painter.restore();
    }
    if (!countTitle.isEmpty()) {
        const int w = fm.horizontalAdvance(countTitle);
        const int top = (plotMargins.bottom - fh) / 2 + height() + fh - plotMargins.bottom;
        painter.drawText(
            QRect(plot.left() + (plot.width() - w) / 2, top, w, fh), Qt::AlignCenter, countTitle);
    }
}

void Histogram::drawBars()
{
    barsLayer = axesLayer;
    if (barsLayer.isNull() || !rows.hasRoom())
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

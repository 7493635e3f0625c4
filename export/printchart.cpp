#include "printchart.h"

#include "dmmdata.h"
#include "zonecolors.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("PrintChart", text);
}

const QColor lineColor(31, 78, 154);
const QColor gridColor(210, 210, 210);

} // namespace

PrintChart::PrintChart(const QList<DmmData*>& readings, const ItemSummary& summary)
    : readings(readings)
    , summary(summary)
{ }

QPair<double, double> PrintChart::valueRange() const
{
    const StatisticsFigures& f = summary.figures;
    double low = f.count > 0 ? std::min(0.0, f.minimum) : 0.0;
    double high = f.count > 0 ? std::max(0.0, f.maximum) : 1.0;
    for (const std::optional<double>& level : { summary.alertLevel, summary.dangerLevel }) {
        if (level) {
            low = std::min(low, *level);
            high = std::max(high, *level);
        }
    }
    if (high - low <= 0.0)
        high = low + 1.0;
    const double headroom = (high - low) * 0.08;
    return { low < 0.0 ? low - headroom : low, high + headroom };
}

double PrintChart::valueStep(double span, int maxTicks)
{
    if (!(span > 0.0) || maxTicks < 1 || !std::isfinite(span))
        return 0.0;
    double step = std::pow(10.0, std::floor(std::log10(span / maxTicks)));
    for (;;) {
        for (double factor : { 1.0, 2.0, 5.0 }) {
            if (span / (step * factor) <= maxTicks)
                return step * factor;
        }
        step *= 10.0;
    }
}

qint64 PrintChart::timeStep(qint64 spanMs, int maxTicks)
{
    static const qint64 steps[] = { 1000, 2000, 5000, 10000, 15000, 30000, 60000, 120000, 300000,
        600000, 900000, 1800000, 3600000, 7200000, 10800000, 21600000, 43200000, 86400000 };
    if (maxTicks < 1)
        return 0;
    for (qint64 step : steps) {
        if (spanMs / step < maxTicks)
            return step;
    }
    const qint64 day = 86400000;
    return day * (spanMs / day / maxTicks + 1);
}

QVector<qint64> PrintChart::timeTicks(qint64 firstMs, qint64 lastMs, qint64 step)
{
    QVector<qint64> ticks;
    if (step <= 0 || lastMs < firstMs)
        return ticks;
    // Marks on whole local seconds, minutes, hours: the offset from UTC moves the grid.
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(firstMs).offsetFromUtc()) * 1000;
    qint64 t = ((firstMs + offset + step - 1) / step) * step - offset;
    if (t < firstMs)
        t += step;
    for (; t <= lastMs; t += step)
        ticks << t;
    return ticks;
}

void PrintChart::paint(QPainter& painter, const QRectF& area) const
{
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(8);
    font.setBold(false);
    painter.setFont(font);
    const QFontMetricsF metrics(font);

    const QPair<double, double> range = valueRange();
    const double step = valueStep(range.second - range.first, 6);
    const int decimals = std::max(0, int(-std::floor(std::log10(step > 0 ? step : 1.0))));
    // Room for the value labels on the left and the time labels below.
    qreal labelWidth = metrics.horizontalAdvance(QString::number(range.first, 'f', decimals));
    labelWidth = std::max(
        labelWidth, metrics.horizontalAdvance(QString::number(range.second, 'f', decimals)));
    const QRectF plot(area.left() + labelWidth + 8, area.top() + metrics.height() + 4,
        area.width() - labelWidth - 12, area.height() - 3 * metrics.height() - 10);
    if (plot.width() <= 0 || plot.height() <= 0) {
        painter.restore();
        return;
    }
    const auto yOf = [&](double v) {
        return plot.bottom() - (v - range.first) / (range.second - range.first) * plot.height();
    };
    const qint64 firstMs = summary.figures.firstMs;
    const qint64 lastMs = summary.figures.lastMs;
    const qint64 spanMs = std::max<qint64>(lastMs - firstMs, 1);
    const auto xOf = [&](qint64 ms) {
        if (lastMs == firstMs)
            return plot.center().x();
        return plot.left() + double(ms - firstMs) / double(spanMs) * plot.width();
    };

    painter.drawText(QRectF(area.left(), area.top(), area.width(), metrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter, summary.unit);

    painter.setClipRect(plot);
    if (summary.graded()) {
        const SeverityZones::Limits l = summary.limitsInUnit();
        const double bounds[] = { range.first, l.ab, l.bc, l.cd, range.second };
        for (int z = 0; z < 4; ++z) {
            const double low = std::max(bounds[z], range.first);
            const double high = z == 3 ? range.second : std::min(bounds[z + 1], range.second);
            if (high <= low)
                continue;
            const SeverityZones::Zone zone = SeverityZones::Zone(SeverityZones::A + z);
            painter.fillRect(
                QRectF(QPointF(plot.left(), yOf(high)), QPointF(plot.right(), yOf(low))),
                ZoneColors::tint(zone));
        }
    }
    painter.setClipping(false);

    // Value grid and labels.
    painter.setPen(QPen(gridColor, 0.4));
    if (step > 0) {
        for (double v = std::ceil(range.first / step) * step; v <= range.second + step * 1e-9;
             v += step) {
            const double y = yOf(v);
            painter.setPen(QPen(gridColor, 0.4));
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            painter.setPen(Qt::black);
            painter.drawText(
                QRectF(area.left(), y - metrics.height() / 2, labelWidth + 4, metrics.height()),
                Qt::AlignRight | Qt::AlignVCenter,
                QString::number(std::abs(v) < step * 1e-9 ? 0.0 : v, 'f', decimals));
        }
    }

    // Time axis: marks on whole seconds, minutes or hours, the date when the span crosses a day.
    const bool days = QDateTime::fromMSecsSinceEpoch(firstMs).date()
        != QDateTime::fromMSecsSinceEpoch(lastMs).date();
    const QString format = days ? QStringLiteral("MM-dd hh:mm") : QStringLiteral("hh:mm:ss");
    const qreal labelSpace = metrics.horizontalAdvance(QStringLiteral("00-00 00:00:00")) + 12;
    const int maxTicks = std::max(1, int(plot.width() / labelSpace));
    if (summary.figures.readings > 0) {
        const QVector<qint64> ticks = timeTicks(firstMs, lastMs, timeStep(spanMs, maxTicks));
        for (qint64 t : ticks) {
            const double x = xOf(t);
            painter.setPen(QPen(gridColor, 0.4));
            painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            painter.setPen(Qt::black);
            const QString label = QDateTime::fromMSecsSinceEpoch(t).toString(format);
            const qreal w = metrics.horizontalAdvance(label);
            painter.drawText(QRectF(x - w / 2 - 2, plot.bottom() + 2, w + 4, metrics.height()),
                Qt::AlignCenter, label);
        }
        const QString span
            = tr("%1 to %2").arg(ItemSummary::timeText(firstMs), ItemSummary::timeText(lastMs));
        painter.drawText(QRectF(plot.left(), plot.bottom() + metrics.height() + 4, plot.width(),
                             metrics.height()),
            Qt::AlignCenter, summary.fromStore ? tr("%1 (time of the download)").arg(span) : span);
    }

    // Levels.
    const auto levelLine = [&](const std::optional<double>& level, const QColor& color,
                               const QString& name) {
        if (!level)
            return;
        const double y = yOf(*level);
        painter.setPen(QPen(color, 1.0, Qt::DashLine));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.drawText(
            QRectF(plot.left() + 4, y - metrics.height() - 1, plot.width() - 8, metrics.height()),
            Qt::AlignRight | Qt::AlignBottom, name);
    };
    levelLine(summary.alertLevel, ZoneColors::alert(),
        tr("alert %1").arg(summary.valueText(summary.alertLevel.value_or(0))));
    levelLine(summary.dangerLevel, ZoneColors::danger(),
        tr("danger %1").arg(summary.valueText(summary.dangerLevel.value_or(0))));

    // The line: per quarter point of width its first, lowest, highest and last value, so that a
    // long recording stays a small drawing without losing its peaks. Over-range and no-reading
    // readings break it.
    painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
    QPainterPath path;
    QVector<QPointF> overMarks;
    QVector<QPointF> underMarks;
    bool open = false;
    int segmentPoints = 0; // of the open piece of line
    QPointF segmentStart;
    QVector<QPointF> dots; // readings with a gap on both sides would otherwise not show
    const auto closeSegment = [&]() {
        if (open && segmentPoints == 1)
            dots << segmentStart;
        open = false;
        segmentPoints = 0;
    };
    int bucket = -1;
    struct Pick
    {
        int index;
        double value;
    };
    Pick first {}, low {}, high {}, last {};
    bool pending = false;
    const auto flush = [&]() {
        if (!pending)
            return;
        Pick picks[] = { first, low, high, last };
        std::sort(std::begin(picks), std::end(picks),
            [](const Pick& a, const Pick& b) { return a.index < b.index; });
        const double x = plot.left() + (bucket + 0.5) / 4.0;
        for (const Pick& p : picks) {
            const QPointF point(lastMs == firstMs ? plot.center().x() : x, yOf(p.value));
            if (!open) {
                path.moveTo(point);
                open = true;
                segmentStart = point;
                segmentPoints = 1;
            } else if (point != path.currentPosition()) {
                path.lineTo(point);
                ++segmentPoints;
            }
        }
        pending = false;
    };
    for (int i = 0; i < readings.size(); ++i) {
        const DmmData* r = readings.at(i);
        const qint64 ms = r->dateTime().toMSecsSinceEpoch();
        const double x = xOf(ms);
        const int b = int((x - plot.left()) * 4.0);
        if (r->state() != DmmData::Numeric) {
            flush();
            closeSegment();
            // One mark per point of width is enough to show where they fell.
            QVector<QPointF>* marks = r->state() == DmmData::OverRange ? &overMarks
                : r->state() == DmmData::NegativeOverRange             ? &underMarks
                                                                       : nullptr;
            if (marks && (marks->isEmpty() || marks->last().x() + 1 < x))
                *marks << QPointF(x, marks == &overMarks ? plot.top() + 3 : plot.bottom() - 3);
            continue;
        }
        if (b != bucket)
            flush();
        bucket = b;
        const Pick p { i, r->value(0) };
        if (!pending) {
            first = low = high = last = p;
            pending = true;
        } else {
            last = p;
            if (p.value < low.value)
                low = p;
            if (p.value > high.value)
                high = p;
        }
    }
    flush();
    closeSegment();
    painter.setPen(QPen(lineColor, 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(lineColor);
    for (const QPointF& p : dots)
        painter.drawEllipse(p, 1.5, 1.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ZoneColors::danger());
    for (const QPointF& p : overMarks)
        painter.drawPolygon(QPolygonF(QVector<QPointF> {
            p + QPointF(-2.5, -2.5), p + QPointF(2.5, -2.5), p + QPointF(0, 2) }));
    for (const QPointF& p : underMarks)
        painter.drawPolygon(QPolygonF(QVector<QPointF> {
            p + QPointF(-2.5, 2.5), p + QPointF(2.5, 2.5), p + QPointF(0, -2) }));
    painter.setClipping(false);

    painter.setPen(QPen(Qt::black, 0.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    painter.restore();
}

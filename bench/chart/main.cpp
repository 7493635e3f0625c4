// Prints the trend chart's repaint times as "name: value ms" lines: a full redraw of all layers
// into a 1000 x 600 chart at 1,000 to 8,300,000 points, a repaint that only moves the indicator,
// and, for the same data at the same size in the same run, the full redraw of two plotting
// libraries in their fastest reasonable setting (QCustomPlot with adaptive sampling, Qwt with point
// filtering; no antialiasing), with our speed-up over QCustomPlot; and ours at 8,300,000 points
// with severity zone bands and both alarm levels drawn. Each figure is the median of
// several runs, in CPU time of the painting thread, so that other work on a shared machine does
// not inflate it.

#include "dmmchart.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTextStream>

#include <qcustomplot.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_renderer.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <map>
#include <vector>

namespace {

const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A slow swing with noise as large as the swing, the hardest case for the line pass.
QVector<double> makeValues(int count)
{
    QVector<double> values(count);
    for (int i = 0; i < count; ++i)
        values[i] = 3.0 * std::sin(i / (count / 40.0)) + 1.0 * std::sin(i * 1.7);
    return values;
}

void fill(DMMChart& chart, const QVector<double>& values)
{
    QList<ChartPoint*> points;
    points.reserve(values.size());
    QDateTime time;
    for (int i = 0; i < values.size(); ++i) {
        // A hundred readings a second, the line rate (and one local time conversion per second).
        if (i % 100 == 0)
            time = start.addSecs(i / 100);
        auto* p = new ChartPoint;
        p->time = time;
        p->value = values.at(i);
        p->valueText = QString::number(p->value, 'f', 2);
        p->label = p->valueText + QStringLiteral(" cm/s");
        points.append(p);
    }
    chart.appendPoints(points, 0);
}

double threadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double timed(const std::function<void()>& work)
{
    const double begin = threadCpuMs();
    work();
    return threadCpuMs() - begin;
}

void print(const QString& name, double value, const char* unit = "ms")
{
    QTextStream(stdout) << name << ": " << QString::number(value, 'f', 2) << ' ' << unit << '\n';
}

double ourRedrawMs(const QVector<double>& values, QImage& target, int runCount = 15,
    const ChartZones& zones = ChartZones())
{
    DMMChart chart;
    chart.setZones(zones);
    chart.setFrameShape(QFrame::StyledPanel);
    chart.resize(target.size());
    chart.setLeftMargin(70);
    chart.setBottomMargin(68);
    chart.setXTitle(QStringLiteral("Date Time"));
    chart.setUnitText(QStringLiteral("cm/s"));
    fill(chart, values);
    chart.render(&target); // warm-up: first layers, font caches
    std::vector<double> runs;
    for (int i = 0; i < runCount; ++i) {
        // A changed title forces a full redraw of every layer, as new data would.
        chart.setUnitText(i % 2 == 0 ? QStringLiteral("mm/s") : QStringLiteral("cm/s"));
        runs.push_back(timed([&] { chart.render(&target); }));
    }

    if (values.size() == 1000000) {
        std::vector<double> moves;
        for (int i = 0; i < 30; ++i) {
            const QPoint pos(100 + (i % 2) * 400 + i, 300);
            QMouseEvent move(QEvent::MouseMove, pos, chart.mapToGlobal(pos), Qt::NoButton,
                Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(&chart, &move);
            moves.push_back(timed([&] { chart.render(&target); }));
        }
        print(QStringLiteral("chart_indicator_ms"), median(moves));
    }
    return median(runs);
}

double qcustomplotRedrawMs(const QVector<double>& values, QImage& target, int runs)
{
    QCustomPlot plot;
    plot.resize(target.size());
    plot.setNotAntialiasedElements(QCP::aeAll);
    plot.setPlottingHints(QCP::phFastPolylines | QCP::phCacheLabels);
    QCPGraph* graph = plot.addGraph();
    graph->setAdaptiveSampling(true);
    graph->setPen(QPen(QColor(250, 150, 0)));
    QVector<QCPGraphData> data(values.size());
    const double t0 = start.toSecsSinceEpoch();
    for (int i = 0; i < values.size(); ++i)
        data[i] = QCPGraphData(t0 + i / 100.0, values.at(i));
    graph->data()->set(data, true);
    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeFormat(QStringLiteral("yyyy-MM-dd\nhh:mm:ss"));
    plot.xAxis->setTicker(ticker);
    plot.xAxis->setLabel(QStringLiteral("Date Time"));
    plot.xAxis->setRange(t0, t0 + (values.size() - 1) / 100.0);
    const auto range = std::minmax_element(values.cbegin(), values.cend());
    plot.yAxis->setRange(*range.first * 1.1, *range.second * 1.1);

    auto draw = [&] {
        QCPPainter painter(&target);
        plot.toPainter(&painter, target.width(), target.height());
    };
    draw(); // warm-up
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        plot.yAxis->setLabel(i % 2 == 0 ? QStringLiteral("mm/s") : QStringLiteral("cm/s"));
        times.push_back(timed(draw));
    }
    return median(times);
}

double qwtRedrawMs(const QVector<double>& values, QImage& target, int runs)
{
    QwtPlot plot;
    plot.resize(target.size());
    plot.setAutoReplot(false);
    auto* curve = new QwtPlotCurve;
    curve->setPaintAttribute(QwtPlotCurve::FilterPoints, true);
    curve->setPaintAttribute(QwtPlotCurve::ClipPolygons, true);
    curve->setRenderHint(QwtPlotItem::RenderAntialiased, false);
    curve->setPen(QPen(QColor(250, 150, 0)));
    QVector<double> xs(values.size());
    for (int i = 0; i < xs.size(); ++i)
        xs[i] = i;
    curve->setSamples(xs, values);
    curve->attach(&plot);
    plot.setAxisScale(QwtPlot::xBottom, 0, values.size() - 1);
    const auto range = std::minmax_element(values.cbegin(), values.cend());
    plot.setAxisScale(QwtPlot::yLeft, *range.first * 1.1, *range.second * 1.1);

    QwtPlotRenderer renderer;
    auto draw = [&] {
        QPainter painter(&target);
        renderer.render(&plot, &painter, QRectF(QPointF(0, 0), QSizeF(target.size())));
    };
    draw(); // warm-up
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        plot.setAxisTitle(
            QwtPlot::yLeft, i % 2 == 0 ? QStringLiteral("mm/s") : QStringLiteral("cm/s"));
        times.push_back(timed(draw));
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QImage target(1000, 600, QImage::Format_ARGB32_Premultiplied);
    // "--profile N": only our redraw at N points, many times, for a profiler.
    if (argc > 2 && qstrcmp(argv[1], "--profile") == 0) {
        const int count = QByteArray(argv[2]).toInt();
        print(QStringLiteral("chart_redraw_ms_%1").arg(count),
            ourRedrawMs(makeValues(count), target, 2000));
        return 0;
    }

    // The libraries first, on a fresh heap: the allocator's state after our largest runs would
    // make their per-redraw allocations dearer than they are.
    std::map<int, double> theirs;
    for (int count : { 1000000, 8300000 })
        theirs[count] = qcustomplotRedrawMs(makeValues(count), target, count > 1000000 ? 7 : 15);
    const double qwt = qwtRedrawMs(makeValues(1000000), target, 3);

    std::map<int, double> ours;
    for (int count : { 1000, 100000, 1000000, 8300000 }) {
        ours[count] = ourRedrawMs(makeValues(count), target);
        print(QStringLiteral("chart_redraw_ms_%1").arg(count), ours[count]);
    }
    // A classed velocity item (class II in cm/s: bands at 0.112, 0.28 and 0.71) with its levels.
    ChartZones zones;
    zones.limits = SeverityZones::Limits { 0.112, 0.28, 0.71 };
    zones.alertLevel = 2.0;
    zones.dangerLevel = 3.0;
    print(QStringLiteral("chart_redraw_ms_zones_8300000"),
        ourRedrawMs(makeValues(8300000), target, 15, zones));
    for (int count : { 1000000, 8300000 }) {
        print(QStringLiteral("chart_redraw_ms_qcustomplot_%1").arg(count), theirs[count]);
        print(QStringLiteral("chart_speedup_vs_qcustomplot_%1").arg(count),
            theirs[count] / ours[count], "x");
    }
    print(QStringLiteral("chart_redraw_ms_qwt_1000000"), qwt);
    return 0;
}

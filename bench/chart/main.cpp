// Prints the trend chart's repaint times as "name: value ms" lines: a full redraw of all layers
// into a 1000 x 600 chart at three sizes, and a repaint that only moves the indicator. Each
// figure is the median of several runs, in CPU time of the painting thread, so that other work
// on a shared machine does not inflate it.

#include "dmmchart.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void fill(DMMChart& chart, int count)
{
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
    QList<ChartPoint*> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        auto* p = new ChartPoint;
        p->time = start.addSecs(i);
        // A slow swing with noise as large as the swing, the hardest case for the line pass.
        p->value = 3.0 * std::sin(i / (count / 40.0)) + 1.0 * std::sin(i * 1.7);
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

double paintMs(DMMChart& chart, QImage& target)
{
    const double start = threadCpuMs();
    chart.render(&target);
    return threadCpuMs() - start;
}

void print(const char* name, double ms)
{
    QTextStream(stdout) << name << ": " << QString::number(ms, 'f', 2) << " ms\n";
}
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QImage target(1000, 600, QImage::Format_ARGB32_Premultiplied);

    const std::pair<int, const char*> sizes[] = { { 1000, "chart_redraw_ms_1000" },
        { 100000, "chart_redraw_ms_100000" }, { 1000000, "chart_redraw_ms_1000000" } };
    for (const auto& [count, name] : sizes) {
        DMMChart chart;
        chart.setFrameShape(QFrame::StyledPanel);
        chart.resize(1000, 600);
        chart.setLeftMargin(70);
        chart.setBottomMargin(68);
        chart.setXTitle(QStringLiteral("Date Time"));
        chart.setUnitText(QStringLiteral("cm/s"));
        fill(chart, count);
        paintMs(chart, target); // warm-up: first layers, font caches
        std::vector<double> runs;
        for (int i = 0; i < 15; ++i) {
            // A changed title forces a full redraw of every layer, as new data would.
            chart.setUnitText(i % 2 == 0 ? QStringLiteral("mm/s") : QStringLiteral("cm/s"));
            runs.push_back(paintMs(chart, target));
        }
        print(name, median(runs));

        if (count == 1000000) {
            std::vector<double> moves;
            for (int i = 0; i < 30; ++i) {
                const QPoint pos(100 + (i % 2) * 400 + i, 300);
                QMouseEvent move(QEvent::MouseMove, pos, chart.mapToGlobal(pos), Qt::NoButton,
                    Qt::NoButton, Qt::NoModifier);
                QCoreApplication::sendEvent(&chart, &move);
                moves.push_back(paintMs(chart, target));
            }
            print("chart_indicator_ms", median(moves));
        }
    }
    return 0;
}

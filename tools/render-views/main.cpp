// render-views <folder>: writes PNG pictures of the trend chart and the histogram in typical
// states, so their look can be reviewed without running the program.

#include "dmmchart.h"
#include "histogram.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTextStream>
#include <QtMath>

#include <cfloat>
#include <memory>

namespace {
const QDateTime start(QDate(2026, 12, 7), QTime(10, 0, 0));

ChartPoint* point(int i, double value, int decimals = 2, const QString& unit = "cm/s")
{
    auto* p = new ChartPoint;
    p->time = start.addSecs(i);
    p->value = value;
    p->valueText = QString::number(value, 'f', decimals);
    p->label = QStringLiteral("%1 %2").arg(p->valueText, unit);
    return p;
}

std::unique_ptr<DMMChart> makeChart(const QString& unit = "cm/s")
{
    auto chart = std::make_unique<DMMChart>();
    chart->setFrameShape(QFrame::StyledPanel);
    chart->resize(1000, 600);
    chart->setLeftMargin(70);
    chart->setBottomMargin(68);
    chart->resize(1000, 600);
    chart->setXTitle("Date Time");
    chart->setUnitText(unit);
    chart->setDecimals(2);
    return chart;
}

void sine(DMMChart& chart, int count)
{
    for (int i = 0; i < count; ++i)
        chart.appendPoint(point(i, 3.0 * qSin(i / 40.0) + 1.0), 0);
}

void sendMouse(DMMChart& chart, QEvent::Type type, QPoint pos, Qt::MouseButton button)
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, pos, chart.mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &event);
}

bool save(QWidget& widget, const QDir& dir, const QString& name)
{
    const QString path = dir.filePath(name + ".png");
    const bool ok = widget.grab().save(path);
    QTextStream(stdout) << (ok ? "wrote " : "failed ") << path << '\n';
    return ok;
}
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: render-views <output folder>\n";
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(".")) {
        QTextStream(stderr) << "cannot create " << dir.path() << '\n';
        return 1;
    }
    bool ok = true;

    {
        auto c = makeChart();
        ok &= save(*c, dir, "chart-empty");
    }
    {
        auto c = makeChart();
        c->appendPoint(point(0, 2.5), 0);
        ok &= save(*c, dir, "chart-one-point");
    }
    {
        auto c = makeChart();
        sine(*c, 1000);
        ok &= save(*c, dir, "chart-sine-1000");
    }
    {
        auto c = makeChart();
        for (int i = 0; i < 300; ++i)
            c->appendPoint(point(i, -50.0 - 40.0 * qSin(i / 25.0)), 0);
        ok &= save(*c, dir, "chart-negative");
    }
    {
        auto c = makeChart("mm");
        c->setDecimals(1);
        for (int i = 0; i < 200; ++i)
            c->appendPoint(point(i, 2500.0 + 1500.0 * qSin(i / 20.0), 1, "mm"), 0);
        ok &= save(*c, dir, "chart-thousands");
    }
    {
        auto c = makeChart();
        sine(*c, 1000);
        c->grab();
        const QRect plot = c->plotRect();
        sendMouse(*c, QEvent::MouseButtonPress, plot.topLeft() + QPoint(300, 50), Qt::LeftButton);
        sendMouse(*c, QEvent::MouseMove, plot.topLeft() + QPoint(600, 400), Qt::NoButton);
        ok &= save(*c, dir, "chart-selecting");
        sendMouse(
            *c, QEvent::MouseButtonRelease, plot.topLeft() + QPoint(600, 400), Qt::LeftButton);
        ok &= save(*c, dir, "chart-zoomed");
    }
    {
        auto c = makeChart();
        sine(*c, 1000);
        c->grab();
        const QRect plot = c->plotRect();
        sendMouse(*c, QEvent::MouseMove, plot.topLeft() + QPoint(400, 100), Qt::NoButton);
        ok &= save(*c, dir, "chart-indicator");
        sendMouse(
            *c, QEvent::MouseMove, plot.topLeft() + QPoint(plot.width() - 5, 100), Qt::NoButton);
        ok &= save(*c, dir, "chart-indicator-right-edge");
    }
    {
        auto c = makeChart();
        for (int i = 0; i < 1000000; ++i)
            c->appendPoint(point(i, 3.0 * qSin(i / 4000.0) + qSin(i * 1.7)), 0);
        ok &= save(*c, dir, "chart-dense-1000000");
    }
    {
        auto c = makeChart();
        sine(*c, 100);
        c->resize(60, 40);
        ok &= save(*c, dir, "chart-no-room");
    }

    {
        Histogram h;
        h.resize(700, 450);
        h.setMargins(30, 20, 20, 30);
        h.setRanges(QList<QPair<double, double>> { { -DBL_MAX, 0 }, { 0, 200 }, { 200, 400 },
            { 400, 600 }, { 600, 800 }, { 800, 1000 }, { 1000, 1250 }, { 1250, DBL_MAX } });
        h.setMargins(100, 20, 20, 50);
        h.resize(700, 451);
        h.setYTitle("Thickness(um)");
        h.setXTitle("Rate");
        ok &= save(h, dir, "histogram-empty");
        QList<double> values;
        for (int i = 0; i < 400; ++i)
            values << 650.0 + 330.0 * qSin(i * 0.37) * qCos(i * 0.11);
        values << -5 << 0 << 1300 << 5000 << 200 << 200.5;
        h.setValues(values);
        ok &= save(h, dir, "histogram-values");
    }
    return ok ? 0 : 1;
}

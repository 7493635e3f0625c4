#include "dmmchart.h"
#include "dmmdata.h"
#include "nicestep.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtMath>
#include <QtTest>

#include <cmath>

namespace {
const QDateTime start(QDate(2026, 1, 2), QTime(3, 4, 5));
const QColor lineColour(250, 150, 0);
const QColor indicatorColour(0, 100, 250);

ChartPoint* point(int i, double value)
{
    auto* p = new ChartPoint;
    p->time = start.addSecs(i);
    p->value = value;
    p->valueText = QString::number(value);
    p->label = QStringLiteral("%1 cm/s").arg(value);
    return p;
}

void fill(DMMChart& chart, const QList<double>& values)
{
    QList<ChartPoint*> points;
    for (int i = 0; i < values.size(); ++i)
        points.append(point(i, values.at(i)));
    chart.appendPoints(points, 0);
}

// 1000 x 600 with the default margins: the plot is 920 x 520 at (60, 40).
void prepare(DMMChart& chart, int w = 1000, int h = 600)
{
    chart.resize(w, h);
    QResizeEvent event(QSize(w, h), QSize());
    QCoreApplication::sendEvent(&chart, &event);
}

void mouse(DMMChart& chart, QEvent::Type type, QPoint plotPos,
    Qt::MouseButton button = Qt::LeftButton)
{
    const QPoint pos = plotPos + chart.plotRect.topLeft();
    const Qt::MouseButtons buttons
        = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, pos, chart.mapToGlobal(pos),
        type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &event);
}

void drag(DMMChart& chart, QPoint from, QPoint to)
{
    mouse(chart, QEvent::MouseButtonPress, from);
    if (from != to)
        mouse(chart, QEvent::MouseMove, to);
    mouse(chart, QEvent::MouseButtonRelease, to);
    chart.picture();
}

int countColour(const QImage& image, const QColor& colour, const QRect& area = QRect())
{
    const QRect r = area.isNull() ? image.rect() : area.intersected(image.rect());
    const QRgb wanted = colour.rgb();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (wanted & 0xFFFFFF);
    }
    return n;
}

// Pixels tinted like the indicator text (anti-aliased glyphs are not the exact colour).
int countBluish(const QImage& image, const QRect& area)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.blue() > c.red() + 60;
        }
    }
    return n;
}
}

class DMMChartTest : public QObject
{
    Q_OBJECT

private slots:
    void niceSteps_data();
    void niceSteps();
    void scaleAndHeadroom_data();
    void scaleAndHeadroom();
    void gridLayout_data();
    void gridLayout();
    void valueLabels_data();
    void valueLabels();
    void nearestPoint_data();
    void nearestPoint();
    void zoomRules_data();
    void zoomRules();
    void zoomedViewIgnoresNewPoints();
    void clearReturnsToFullViewAndIndexesStayBounded();
    void decimatedLineMatchesFullPolyline_data();
    void decimatedLineMatchesFullPolyline();
    void drawsAxesAndLine();
    void indicatorFollowsPointerAndExpires();
    void indicatorTextFlipsAtRightEdge();
    void noRoomDrawsNoGrid_data();
    void noRoomDrawsNoGrid();
    void emptyChartIgnoresPress();
    void savesPicture_data();
    void savesPicture();
    void pointFromReading();
};

void DMMChartTest::niceSteps_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("pixelsPerUnit");
    QTest::addColumn<double>("minDistance");
    QTest::addColumn<double>("expected");
    QTest::newRow("int: first candidate") << "int" << 80.0 << 80.0 << 1.0;
    QTest::newRow("int: 2") << "int" << 40.0 << 80.0 << 2.0;
    QTest::newRow("int: 3") << "int" << 30.0 << 80.0 << 3.0;
    QTest::newRow("int: 5 skips 4") << "int" << 20.0 << 80.0 << 5.0;
    QTest::newRow("int: 40") << "int" << 2.0 << 80.0 << 40.0;
    QTest::newRow("int: multiple of 50") << "int" << 1.0 << 80.0 << 100.0;
    QTest::newRow("int: exact multiple") << "int" << 0.8 << 80.0 << 100.0;
    QTest::newRow("int: 200") << "int" << 0.5 << 80.0 << 200.0;
    QTest::newRow("int: zero scale ends") << "int" << 0.0 << 80.0 << 0.0;
    QTest::newRow("int: negative scale ends") << "int" << -3.0 << 80.0 << 0.0;
    QTest::newRow("int: infinite scale ends") << "int" << qInf() << 80.0 << 0.0;
    QTest::newRow("real: smallest") << "real" << 3000000.0 << 30.0 << 0.00001;
    QTest::newRow("real: 0.0001") << "real" << 300000.0 << 30.0 << 0.0001;
    QTest::newRow("real: 0.3") << "real" << 100.0 << 30.0 << 0.3;
    QTest::newRow("real: 0.8") << "real" << 50.0 << 30.0 << 0.8;
    QTest::newRow("real: 1") << "real" << 30.0 << 30.0 << 1.0;
    QTest::newRow("real: 30") << "real" << 1.0 << 30.0 << 30.0;
    QTest::newRow("real: 40") << "real" << 0.8 << 30.0 << 40.0;
    QTest::newRow("real: 150") << "real" << 0.2 << 30.0 << 150.0;
    QTest::newRow("real: tiny scale") << "real" << 1e-9 << 30.0 << 3e10;
    QTest::newRow("real: zero scale ends") << "real" << 0.0 << 30.0 << 0.0;
    QTest::newRow("real: NaN scale ends") << "real" << qQNaN() << 30.0 << 0.0;
    QTest::newRow("multiple: 13") << "multiple" << 3.99 << 50.0 << 13.0;
    QTest::newRow("multiple: at least 2") << "multiple" << 399.0 << 50.0 << 2.0;
    QTest::newRow("multiple: zero scale ends") << "multiple" << 0.0 << 50.0 << 0.0;
    QTest::newRow("multiple: negative scale ends") << "multiple" << -0.01 << 50.0 << 0.0;
}

void DMMChartTest::niceSteps()
{
    QFETCH(QString, kind);
    QFETCH(double, pixelsPerUnit);
    QFETCH(double, minDistance);
    QFETCH(double, expected);
    double step = 0;
    if (kind == "int")
        step = NiceStep::integerStep(pixelsPerUnit, minDistance);
    else if (kind == "real")
        step = NiceStep::realStep(pixelsPerUnit, minDistance);
    else
        step = NiceStep::smallestMultiple(2, pixelsPerUnit, minDistance);
    QCOMPARE(step, expected);
}

void DMMChartTest::scaleAndHeadroom_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::newRow("empty") << QList<double> {} << -1.1 << 1.1;
    QTest::newRow("one point inside -1..1") << QList<double> { 0.5 } << -1.1 << 1.1;
    QTest::newRow("0 to 5") << QList<double> { 0, 1, 2, 3, 4, 5 } << -1.1 << 5.5;
    QTest::newRow("all negative") << QList<double> { -3, -2 } << -3.3 << 1.1;
    QTest::newRow("both signs") << QList<double> { -20, 2500 } << -22.0 << 2750.0;
    QTest::newRow("non-finite values skipped") << QList<double> { qInf(), 2, qQNaN() } << -1.1 << 2.2;
}

void DMMChartTest::scaleAndHeadroom()
{
    QFETCH(QList<double>, values);
    QFETCH(double, min);
    QFETCH(double, max);
    DMMChart chart;
    prepare(chart);
    fill(chart, values);
    chart.picture();
    QCOMPARE(chart.minValue, min);
    QCOMPARE(chart.maxValue, max);
    QCOMPARE(chart.yScale, 520.0 / (max - min));
    QCOMPARE(chart.xStep, values.isEmpty() ? 0.0 : 920.0 / values.size());
    QCOMPARE(chart.lines.first()->screenPoints.size(), values.size());
    QCOMPARE(chart.lines.first()->xStep, chart.xStep);
}

void DMMChartTest::gridLayout_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("gridStep");
    QTest::addColumn<int>("above");
    QTest::addColumn<int>("below");
    QTest::addColumn<double>("base"); // widget y of the value 0
    QTest::addColumn<int>("labels");
    // No points: only the base line of the value 0, in the middle of -1.1..1.1.
    QTest::newRow("empty") << QList<double> {} << 0.0 << 0 << 0 << 300.0 << 0;
    // 0..4: range -1.1..4.4, 94.5 px per unit, 0.3 gives 28 px, so 0.5.
    QTest::newRow("0 to 4") << QList<double> { 0, 4 } << 0.5 << 8 << 2 << 456.0 << 2;
    // All negative: the top stays at 1.1 and the base line is the value 0.
    QTest::newRow("all negative") << QList<double> { -4, -1 } << 0.5 << 2 << 8 << 144.0 << 2;
    // One point: xStep is the plot width and one time label sits at the left edge.
    QTest::newRow("single point") << QList<double> { 1 } << 0.2 << 5 << 5 << 300.0 << 1;
    // 46 points: 20 px apart; 4 is no candidate, so 5 points per label, 100 px, 9 labels.
    QList<double> many;
    for (int i = 0; i < 46; ++i)
        many << 0.5;
    QTest::newRow("46 points") << many << 0.2 << 5 << 5 << 300.0 << 9;
}

void DMMChartTest::gridLayout()
{
    QFETCH(QList<double>, values);
    QFETCH(double, gridStep);
    QFETCH(int, above);
    QFETCH(int, below);
    QFETCH(double, base);
    QFETCH(int, labels);
    DMMChart chart;
    prepare(chart);
    fill(chart, values);
    chart.picture();
    QCOMPARE(chart.yGridAbove, above);
    QCOMPARE(chart.yGridBelow, below);
    QCOMPARE(chart.xLabelCount, labels);
    QVERIFY(qAbs(chart.baseLine() - base) < 1e-9);
    if (!values.isEmpty()) {
        QCOMPARE(chart.yGridStep, gridStep);
        QVERIFY(chart.yGridSpacing >= 30.0);
        QCOMPARE(chart.xLabelSpacing, chart.pointsPerXLabel * chart.xStep);
        QVERIFY(chart.xLabelSpacing >= 80.0);
    }
    // The base line is dotted across the plot; its tick is solid black.
    const QImage image = chart.picture();
    QCOMPARE(image.pixelColor(chart.plotRect.left() - 3, int(base)), QColor(Qt::black));
}

void DMMChartTest::valueLabels_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << 2 << "0.00";
    QTest::newRow("below a thousand") << 999.0 << 0 << "999";
    QTest::newRow("thousands") << 2500.0 << 1 << "2.5k";
    QTest::newRow("exactly a thousand") << 1000.0 << 2 << "1.00k";
    QTest::newRow("negative thousands") << -1500.0 << 1 << "-1.5k";
    QTest::newRow("millions") << 1000000.0 << 1 << "1.0M";
    QTest::newRow("negative millions") << -3000000.0 << 0 << "-3M";
    QTest::newRow("small with decimals") << 0.5 << 3 << "0.500";
}

void DMMChartTest::valueLabels()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(DMMChart::valueLabel(value, decimals), text);
}

void DMMChartTest::nearestPoint_data()
{
    // Three points over 920 px: screen x 0, 307 and 613.
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("expected");
    QTest::newRow("left of the plot") << -5 << 0;
    QTest::newRow("exact first") << 0 << 0;
    QTest::newRow("nearer the first") << 153 << 0;
    QTest::newRow("nearer the second") << 154 << 1;
    QTest::newRow("exact second") << 307 << 1;
    QTest::newRow("tie takes the previous") << 460 << 1;
    QTest::newRow("nearer the third") << 461 << 2;
    QTest::newRow("past all points") << 700 << 2;
    QTest::newRow("beyond the plot") << 2000 << 2;
}

void DMMChartTest::nearestPoint()
{
    QFETCH(int, x);
    QFETCH(int, expected);
    DMMChart chart;
    prepare(chart);
    QCOMPARE(chart.nearestPoint(x), -1);
    fill(chart, { 1, 2, 3 });
    chart.picture();
    QCOMPARE(chart.lines.first()->screenPoints.at(1).x(), 307);
    QCOMPARE(chart.lines.first()->screenPoints.at(2).x(), 613);
    QCOMPARE(chart.nearestPoint(x), expected);
}

void DMMChartTest::zoomRules_data()
{
    // 100 points, 9.2 px apart: point b sits at x = trunc(b * 9.2 + 0.5).
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<bool>("zoomed");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("right and down narrows") << QPoint(92, 10) << QPoint(460, 200) << true << 10 << 49;
    QTest::newRow("band past the last point") << QPoint(92, 10) << QPoint(920, 200) << true << 10 << 99;
    QTest::newRow("right to left") << QPoint(460, 10) << QPoint(92, 200) << false << 0 << 99;
    QTest::newRow("upwards") << QPoint(92, 200) << QPoint(460, 10) << false << 0 << 99;
    QTest::newRow("flat drag") << QPoint(92, 100) << QPoint(460, 100) << false << 0 << 99;
    QTest::newRow("a click") << QPoint(300, 100) << QPoint(300, 100) << false << 0 << 99;
    QTest::newRow("too narrow to zoom") << QPoint(92, 10) << QPoint(95, 200) << false << 0 << 99;
}

void DMMChartTest::zoomRules()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(bool, zoomed);
    QFETCH(int, first);
    QFETCH(int, last);
    DMMChart chart;
    prepare(chart);
    QList<double> values;
    for (int i = 0; i < 100; ++i)
        values << i % 7;
    fill(chart, values);
    chart.picture();

    drag(chart, from, to);
    QCOMPARE(chart.zoomed, zoomed);
    QCOMPARE(chart.firstIndex, first);
    QCOMPARE(chart.lastIndex, last);
    QVERIFY(!chart.selecting);

    if (zoomed) {
        // A second band narrows relative to the range shown.
        const int shown = last - first + 1;
        const double step = 920.0 / shown;
        const int a = int(std::ceil(5 * step - 0.5));
        drag(chart, QPoint(a, 10), QPoint(920, 300));
        QVERIFY(chart.zoomed);
        QCOMPARE(chart.firstIndex, first + 5);
        QCOMPARE(chart.lastIndex, last);
        // Any other drag returns to the full view.
        drag(chart, QPoint(400, 300), QPoint(100, 10));
        QVERIFY(!chart.zoomed);
        QCOMPARE(chart.firstIndex, 0);
        QCOMPARE(chart.lastIndex, 99);
    }
}

void DMMChartTest::zoomedViewIgnoresNewPoints()
{
    DMMChart chart;
    prepare(chart);
    QList<double> values;
    for (int i = 0; i < 100; ++i)
        values << i;
    fill(chart, values);
    chart.picture();
    drag(chart, QPoint(92, 10), QPoint(460, 200));
    QVERIFY(chart.zoomed);
    const QImage before = chart.picture();

    for (int i = 100; i < 150; ++i)
        chart.appendPoint(point(i, 1000.0), 0);
    QVERIFY(!chart.dirtyAll);
    QCOMPARE(chart.picture(), before);
    QCOMPARE(chart.lastIndex, 49);
    QCOMPARE(chart.maxValue, 49 * 1.1);

    drag(chart, QPoint(460, 200), QPoint(92, 10));
    QCOMPARE(chart.firstIndex, 0);
    QCOMPARE(chart.lastIndex, 149);
    QCOMPARE(chart.maxValue, 1100.0);
    QCOMPARE(chart.lines.first()->screenPoints.size(), 150);
}

void DMMChartTest::clearReturnsToFullViewAndIndexesStayBounded()
{
    DMMChart chart;
    prepare(chart);
    QList<double> values;
    for (int i = 0; i < 100; ++i)
        values << i;
    fill(chart, values);
    chart.picture();
    drag(chart, QPoint(460, 10), QPoint(900, 200));
    QVERIFY(chart.zoomed);
    QVERIFY(chart.firstIndex > 40);

    chart.clear();
    QVERIFY(!chart.zoomed);
    fill(chart, { 1, 2, 3 });
    chart.picture();
    QCOMPARE(chart.firstIndex, 0);
    QCOMPARE(chart.lastIndex, 2);

    // A zoom naming indexes the line no longer holds is bounded, never read past the end.
    chart.zoomed = true;
    chart.firstIndex = 1;
    chart.lastIndex = 500;
    chart.indicatorVisible = true;
    chart.indicatorIndex = 400;
    chart.dirtyAll = true;
    chart.picture();
    QCOMPARE(chart.lastIndex, 2);
    QCOMPARE(chart.lines.first()->screenPoints.size(), 2);
    QCOMPARE(chart.indicatorIndex, 1);

    chart.zoomed = true;
    chart.firstIndex = 50;
    chart.lastIndex = 60;
    chart.dirtyAll = true;
    chart.picture();
    QVERIFY(!chart.zoomed);
    QCOMPARE(chart.firstIndex, 0);
    QCOMPARE(chart.lastIndex, 2);
}

void DMMChartTest::decimatedLineMatchesFullPolyline_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("width");
    QTest::newRow("noise 5000") << "noise" << 5000 << 1000;
    QTest::newRow("noise 60000") << "noise" << 60000 << 1000;
    QTest::newRow("sparse 3") << "noise" << 3 << 1000;
    QTest::newRow("sparse 500") << "sine" << 500 << 1000;
    QTest::newRow("a single point") << "constant" << 1 << 1000;
    QTest::newRow("sine 100000") << "sine" << 100000 << 1000;
    QTest::newRow("steps 30000 narrow") << "steps" << 30000 << 317;
    QTest::newRow("constant 50000") << "constant" << 50000 << 777;
    QTest::newRow("just over two per column") << "sine" << 1900 << 1000;
}

void DMMChartTest::decimatedLineMatchesFullPolyline()
{
    QFETCH(QString, shape);
    QFETCH(int, count);
    QFETCH(int, width);
    QRandomGenerator random(42);
    QList<double> values;
    values.reserve(count);
    for (int i = 0; i < count; ++i) {
        if (shape == "noise")
            values << random.bounded(200.0) - 50.0;
        else if (shape == "sine")
            values << 3.0 * std::sin(i / (count / 40.0)) + std::sin(i * 1.7);
        else if (shape == "steps")
            values << double((i / 997) % 5) * 10.0 - 12.0;
        else
            values << 2.5;
    }
    DMMChart chart;
    prepare(chart, width, 600);
    fill(chart, values);
    chart.picture();
    const QImage drawn = chart.lineLayer.toImage();

    // Reference: every segment between neighbouring points, stroked one by one, on the same
    // background.
    QImage reference = chart.backgroundLayer.toImage();
    {
        QPainter painter(&reference);
        QPen pen(lineColour);
        pen.setCosmetic(true);
        painter.setPen(pen);
        auto at = [&](int b) {
            return QPoint(int(b * chart.xStep + chart.plotRect.x()),
                int(chart.baseLine() - chart.yScale * values.at(b)));
        };
        for (int b = 0; b + 1 < count; ++b)
            painter.drawLine(at(b), at(b + 1));
        if (count == 1)
            painter.drawPoint(at(0));
    }
    QVERIFY(countColour(drawn, lineColour) > 0);
    QCOMPARE(drawn, reference);
}

void DMMChartTest::drawsAxesAndLine()
{
    DMMChart chart;
    prepare(chart);
    QImage empty = chart.picture();
    const QRect plot = chart.plotRect;
    QCOMPARE(plot, QRect(60, 40, 920, 520));
    // Horizontal axis one pixel under the plot, vertical axis one pixel left of it.
    for (int x = plot.left() - 1; x <= plot.right() + 1; x += 37)
        QCOMPARE(empty.pixelColor(x, plot.bottom() + 1), QColor(Qt::black));
    for (int y = plot.top() - 1; y <= plot.bottom() + 1; y += 29)
        QCOMPARE(empty.pixelColor(plot.left() - 1, y), QColor(Qt::black));
    QCOMPARE(countColour(empty, lineColour), 0);
    QCOMPARE(empty.pixelColor(500, 100), QColor(Qt::white));

    fill(chart, { 0, 1, 0.5 });
    const QImage drawn = chart.picture();
    QVERIFY(countColour(drawn, lineColour, plot) > 100);
    QCOMPARE(countColour(drawn, lineColour, QRect(0, 0, plot.left(), chart.height())), 0);
    // Time ticks under the axis: one per label, at the label's x.
    QCOMPARE(chart.xLabelCount, 3);
    QCOMPARE(drawn.pixelColor(plot.left() + 307, plot.bottom() + 4), QColor(Qt::black));

    chart.setLeftMargin(70);
    chart.setBottomMargin(68);
    const QImage moved = chart.picture();
    QCOMPARE(chart.plotRect, QRect(70, 40, 910, 492));
    QCOMPARE(moved.pixelColor(69, 300), QColor(Qt::black));
}

void DMMChartTest::indicatorFollowsPointerAndExpires()
{
    DMMChart chart;
    prepare(chart);
    fill(chart, { 1, 2, 3 });
    chart.picture();
    const int lineX = chart.plotRect.left() + 307;
    QCOMPARE(countColour(chart.picture(), indicatorColour, QRect(lineX, 100, 1, 300)), 0);

    mouse(chart, QEvent::MouseMove, QPoint(300, 200));
    QCOMPARE(chart.indicatorIndex, 1);
    QVERIFY(chart.indicatorVisible);
    QVERIFY(chart.indicatorTimer->isActive());
    QVERIFY(chart.indicatorTimer->isSingleShot());
    QCOMPARE(chart.indicatorTimer->interval(), 3000);
    const QImage shown = chart.picture();
    QVERIFY(countColour(shown, indicatorColour, QRect(lineX, 100, 1, 300)) >= 290);
    // The text sits right of the line, above the plot.
    QVERIFY(countBluish(shown, QRect(lineX + 2, 0, 200, chart.plotRect.top())) > 20);

    chart.slotTmrIndicatorTimeout();
    chart.indicatorTimer->stop();
    QCOMPARE(countColour(chart.picture(), indicatorColour, QRect(lineX, 100, 1, 300)), 0);

    // A left press hides it at once and starts a band.
    mouse(chart, QEvent::MouseMove, QPoint(600, 200));
    QVERIFY(chart.indicatorVisible);
    mouse(chart, QEvent::MouseButtonPress, QPoint(600, 200));
    QVERIFY(!chart.indicatorVisible);
    QCOMPARE(chart.indicatorIndex, -1);
    QVERIFY(chart.selecting);
    QCOMPARE(countColour(chart.picture(), indicatorColour), 0);
}

void DMMChartTest::indicatorTextFlipsAtRightEdge()
{
    DMMChart chart;
    prepare(chart);
    QList<double> values;
    for (int i = 0; i < 10; ++i)
        values << i;
    fill(chart, values);
    chart.picture();
    mouse(chart, QEvent::MouseMove, QPoint(915, 200));
    QCOMPARE(chart.indicatorIndex, 9);
    const QImage image = chart.picture();
    const int lineX = chart.plotRect.left() + chart.lines.first()->screenPoints.at(9).x();
    const QRect above(0, 0, chart.width(), chart.plotRect.top());
    QVERIFY(countBluish(image, QRect(above.left(), 0, lineX - 2, above.height())) > 20);
    QCOMPARE(countBluish(image, QRect(lineX + 1, 0, chart.width(), above.height())), 0);
}

void DMMChartTest::noRoomDrawsNoGrid_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("narrower than the margins") << QSize(50, 600);
    QTest::newRow("lower than the margins") << QSize(1000, 60);
    QTest::newRow("exactly the margins") << QSize(80, 80);
    QTest::newRow("tiny") << QSize(1, 1);
}

void DMMChartTest::noRoomDrawsNoGrid()
{
    QFETCH(QSize, size);
    DMMChart chart;
    prepare(chart, size.width(), size.height());
    QList<double> values;
    for (int i = 0; i < 500; ++i)
        values << i;
    fill(chart, values);
    const QImage image = chart.picture(); // must return: no endless step search
    QCOMPARE(image.size(), size);
    QVERIFY(!chart.hasRoom());
    QCOMPARE(chart.xLabelCount, 0);
    QCOMPARE(chart.yGridAbove, 0);
    QCOMPARE(chart.yGridBelow, 0);
    QCOMPARE(countColour(image, lineColour), 0);
    mouse(chart, QEvent::MouseMove, QPoint(10, 10));
    QCOMPARE(countColour(chart.picture(), indicatorColour), 0);
    prepare(chart); // growing again brings everything back
    QVERIFY(countColour(chart.picture(), lineColour) > 0);
}

void DMMChartTest::emptyChartIgnoresPress()
{
    DMMChart chart;
    prepare(chart);
    chart.picture();
    mouse(chart, QEvent::MouseButtonPress, QPoint(100, 100));
    QVERIFY(!chart.selecting);
    mouse(chart, QEvent::MouseMove, QPoint(200, 200));
    QVERIFY(!chart.indicatorVisible);
    QCOMPARE(chart.indicatorIndex, -1);
}

void DMMChartTest::savesPicture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ok");
    QTest::newRow("jpg") << "chart.jpg" << true;
    QTest::newRow("png") << "chart.png" << true;
    QTest::newRow("missing folder") << "no/such/folder/chart.jpg" << false;
}

void DMMChartTest::savesPicture()
{
    QFETCH(QString, name);
    QFETCH(bool, ok);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DMMChart chart;
    prepare(chart, 640, 480);
    fill(chart, { 1, 5, 2 });
    const QString path = dir.filePath(name);
    QCOMPARE(chart.savePicture(path), ok);
    QCOMPARE(QFile::exists(path), ok);
    if (ok) {
        const QImage saved(path);
        QCOMPARE(saved.size(), QSize(640, 480));
        if (name.endsWith(".png"))
            QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
                chart.picture().convertToFormat(QImage::Format_RGB32));
    }
}

void DMMChartTest::pointFromReading()
{
    DmmData reading;
    reading.setDateTime(start);
    reading.addValue(1.25);
    reading.addText(" 1.25");
    reading.setUnit(2, "cm/s");
    ChartPoint* p = ChartPoint::fromReading(&reading);
    QVERIFY(p);
    QCOMPARE(p->time, start);
    QCOMPARE(p->value, 1.25);
    QCOMPARE(p->valueText, QStringLiteral(" 1.25"));
    QCOMPARE(p->label.toString(), QStringLiteral(" 1.25 cm/s"));
    delete p;
    QCOMPARE(ChartPoint::fromReading(nullptr), nullptr);
}

QTEST_MAIN(DMMChartTest)
#include "tst_dmmchart.moc"

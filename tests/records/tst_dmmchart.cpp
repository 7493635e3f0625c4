#include "chartgrid.h"
#include "chartscale.h"
#include "chartzoom.h"
#include "coalescingtimer.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "itemproperties.h"
#include "nicestep.h"
#include "plotmargins.h"
#include "zonecolors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtMath>
#include <QtTest>

#include <climits>
#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(PlotMargins)

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

// values[i] as point first + i.
void fill(DMMChart& chart, const QList<double>& values, int first = 0)
{
    QList<ChartPoint*> points;
    for (int i = 0; i < values.size(); ++i)
        points.append(point(first + i, values.at(i)));
    chart.appendPoints(points, 0);
}

QList<double> ramp(int from, int to)
{
    QList<double> values;
    for (int i = from; i <= to; ++i)
        values << i;
    return values;
}

// The scale a chart with a plot of plotSize gives these values when it shows them all.
ChartScale scaleFor(const QList<double>& values, const QSize& plotSize = QSize(920, 520))
{
    const QVector<double> v = values.toVector();
    const auto range = ChartScale::extremes(v.constData(), v.size());
    return ChartScale::fit(range.first, range.second, v.size(), plotSize);
}

// 1000 x 600 with the default margins: the plot is 920 x 520 at (60, 40).
void prepare(DMMChart& chart, int w = 1000, int h = 600)
{
    chart.resize(w, h);
    QResizeEvent event(QSize(w, h), QSize());
    QCoreApplication::sendEvent(&chart, &event);
}

void mouse(
    DMMChart& chart, QEvent::Type type, QPoint plotPos, Qt::MouseButton button = Qt::LeftButton)
{
    const QPoint pos = plotPos + chart.plotRect().topLeft();
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

// The pixels of the line's colour, black on white.
QImage lineMask(const QImage& image)
{
    QImage mask(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool line = (image.pixel(x, y) & 0xFFFFFF) == (lineColour.rgb() & 0xFFFFFF);
            mask.setPixel(x, y, line ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return mask;
}

// Pixels within 2 of colour in each channel (the tints are blends, rounded either way).
int countNear(const QImage& image, const QColor& colour, const QRect& area)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += qAbs(c.red() - colour.red()) <= 2 && qAbs(c.green() - colour.green()) <= 2
                && qAbs(c.blue() - colour.blue()) <= 2;
        }
    }
    return n;
}

// A zone's tint as it looks over the white chart: the translucent colour blended by hand.
QColor tintOverWhite(SeverityZones::Zone zone)
{
    const QColor t = ZoneColors::tint(zone);
    const double a = t.alpha() / 255.0;
    return QColor(qRound(255 * (1 - a) + t.red() * a), qRound(255 * (1 - a) + t.green() * a),
        qRound(255 * (1 - a) + t.blue() * a));
}

// The widget row of value on the chart's scale for these values (a 1000 x 600 chart).
int rowOf(const QList<double>& values, double value)
{
    const ChartScale scale = scaleFor(values);
    const ChartGrid grid = ChartGrid::place(scale, QRect(60, 40, 920, 520), values.size());
    return int(grid.base - scale.yScale * value);
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
    void plotRect_data();
    void plotRect();
    void scaleAndHeadroom_data();
    void scaleAndHeadroom();
    void gridLayout_data();
    void gridLayout();
    void valueLabels_data();
    void valueLabels();
    void nearestPoint_data();
    void nearestPoint();
    void zoomRange_data();
    void zoomRange();
    void zoomsWithTheMouse();
    void zoomedViewIgnoresNewPoints();
    void clearReturnsToFullView();
    void decimatedLineMatchesFullPolyline_data();
    void decimatedLineMatchesFullPolyline();
    void drawsAxesAndLine();
    void settersRedraw_data();
    void settersRedraw();
    void indicatorFollowsPointerAndExpires();
    void indicatorTextFlipsAtRightEdge();
    void noRoomDrawsNoGrid_data();
    void noRoomDrawsNoGrid();
    void emptyChartIgnoresPress();
    void savesPicture_data();
    void savesPicture();
    void pointFromReading_data();
    void pointFromReading();
    void overRangeBreaksTheLine_data();
    void overRangeBreaksTheLine();
    void pictureShowsPointsBeforeTheRepaint();
    void reshownItemMatchesFreshChart_data();
    void reshownItemMatchesFreshChart();
    void valueLabelsDiffer_data();
    void valueLabelsDiffer();
    void zoneBands_data();
    void zoneBands();
    void levelLines_data();
    void levelLines();
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

void DMMChartTest::plotRect_data()
{
    QTest::addColumn<QSize>("widget");
    QTest::addColumn<PlotMargins>("margins");
    QTest::addColumn<QRect>("plot");
    QTest::addColumn<bool>("empty");
    QTest::newRow("chart defaults")
        << QSize(1000, 600) << PlotMargins { 60, 40, 20, 40 } << QRect(60, 40, 920, 520) << false;
    QTest::newRow("chart in the window")
        << QSize(1000, 600) << PlotMargins { 70, 40, 20, 68 } << QRect(70, 40, 910, 492) << false;
    QTest::newRow("histogram in the window")
        << QSize(520, 390) << PlotMargins { 100, 20, 20, 50 } << QRect(100, 20, 400, 320) << false;
    QTest::newRow("exactly the margins")
        << QSize(80, 80) << PlotMargins { 60, 40, 20, 40 } << QRect(60, 40, 0, 0) << true;
    QTest::newRow("narrower than the margins")
        << QSize(50, 600) << PlotMargins { 60, 40, 20, 40 } << QRect(60, 40, -30, 520) << true;
}

void DMMChartTest::plotRect()
{
    QFETCH(QSize, widget);
    QFETCH(PlotMargins, margins);
    QFETCH(QRect, plot);
    QFETCH(bool, empty);
    QCOMPARE(margins.plotRect(widget), plot);
    QCOMPARE(margins.plotRect(widget).isEmpty(), empty);
}

void DMMChartTest::scaleAndHeadroom_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<QList<int>>("xs"); // screen x of each point over a 920 px plot
    QTest::newRow("empty") << QList<double> {} << -1.1 << 1.1 << QList<int> {};
    QTest::newRow("one point inside -1..1")
        << QList<double> { 0.5 } << -1.1 << 1.1 << QList<int> { 0 };
    QTest::newRow("three points") << QList<double> { 1, 2, 3 } << -1.1 << 3.3
                                  << QList<int> { 0, 307, 613 };
    QTest::newRow("0 to 5") << QList<double> { 0, 1, 2, 3, 4, 5 } << -1.1 << 5.5
                            << QList<int> { 0, 153, 307, 460, 613, 767 };
    QTest::newRow("all negative") << QList<double> { -3, -2 } << -3.3 << 1.1
                                  << QList<int> { 0, 460 };
    QTest::newRow("both signs") << QList<double> { -20, 2500 } << -22.0 << 2750.0
                                << QList<int> { 0, 460 };
    QTest::newRow("non-finite values skipped")
        << QList<double> { qInf(), 2, qQNaN() } << -1.1 << 2.2 << QList<int> { 0, 307, 613 };
}

void DMMChartTest::scaleAndHeadroom()
{
    QFETCH(QList<double>, values);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(QList<int>, xs);
    const ChartScale scale = scaleFor(values);
    QCOMPARE(scale.minValue, min);
    QCOMPARE(scale.maxValue, max);
    QCOMPARE(scale.yScale, 520.0 / (max - min));
    QCOMPARE(scale.xStep, values.isEmpty() ? 0.0 : 920.0 / values.size());
    for (int b = 0; b < xs.size(); ++b)
        QCOMPARE(scale.screenX(b), xs.at(b));

    // The chart places one screen point per point shown.
    DMMChart chart;
    prepare(chart);
    fill(chart, values);
    chart.picture();
    QCOMPARE(chart.nearestPoint(INT_MAX), values.size() - 1);
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
    const ChartScale scale = scaleFor(values);
    const ChartGrid grid = ChartGrid::place(scale, QRect(60, 40, 920, 520), values.size());
    QCOMPARE(grid.yGridAbove, above);
    QCOMPARE(grid.yGridBelow, below);
    QCOMPARE(grid.xLabelCount, labels);
    QVERIFY(grid.hasBase);
    QVERIFY(qAbs(grid.base - base) < 1e-9);
    if (!values.isEmpty()) {
        QCOMPARE(grid.yGridStep, gridStep);
        QVERIFY(grid.yGridSpacing >= 30.0);
        QCOMPARE(grid.xLabelSpacing, grid.pointsPerXLabel * scale.xStep);
        QVERIFY(grid.xLabelSpacing >= 80.0);
    }

    // The chart draws its base line there: dotted across the plot, with a solid black tick.
    DMMChart chart;
    prepare(chart);
    fill(chart, values);
    const QImage image = chart.picture();
    QCOMPARE(image.pixelColor(chart.plotRect().left() - 3, int(base)), QColor(Qt::black));
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
    QCOMPARE(chart.nearestPoint(x), expected);
}

void DMMChartTest::zoomRange_data()
{
    // Bands are dragged over a 920 x 520 plot showing the range of the previous redraw; with
    // 100 points, point b sits at x = trunc(b * 9.2 + 0.5).
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<QLine>>("bands");
    QTest::addColumn<int>("held"); // points held at the redraw after the bands
    QTest::addColumn<bool>("zoomed");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    const QLine narrow(92, 10, 460, 200);
    QTest::newRow("full view") << 100 << QList<QLine> {} << 100 << false << 0 << 99;
    QTest::newRow("full view follows new points")
        << 100 << QList<QLine> {} << 150 << false << 0 << 149;
    QTest::newRow("right and down narrows")
        << 100 << QList<QLine> { narrow } << 100 << true << 10 << 49;
    QTest::newRow("band past the last point")
        << 100 << QList<QLine> { { 92, 10, 920, 200 } } << 100 << true << 10 << 99;
    QTest::newRow("right to left")
        << 100 << QList<QLine> { { 460, 10, 92, 200 } } << 100 << false << 0 << 99;
    QTest::newRow("upwards") << 100 << QList<QLine> { { 92, 200, 460, 10 } } << 100 << false << 0
                             << 99;
    QTest::newRow("flat drag") << 100 << QList<QLine> { { 92, 100, 460, 100 } } << 100 << false << 0
                               << 99;
    QTest::newRow("a click") << 100 << QList<QLine> { { 300, 100, 300, 100 } } << 100 << false << 0
                             << 99;
    QTest::newRow("too narrow to zoom")
        << 100 << QList<QLine> { { 92, 10, 95, 200 } } << 100 << false << 0 << 99;
    // 40 points shown, 23 px apart: the second band starts at the fifth of them.
    QTest::newRow("a second band narrows the range shown")
        << 100 << QList<QLine> { narrow, { 115, 10, 920, 300 } } << 100 << true << 15 << 49;
    QTest::newRow("any other drag leaves the zoom")
        << 100 << QList<QLine> { narrow, { 400, 300, 100, 10 } } << 100 << false << 0 << 99;
    QTest::newRow("zoomed, new points stay out of view")
        << 100 << QList<QLine> { narrow } << 150 << true << 10 << 49;
    // 600 points, 1.53 px apart: the bands cover points 1..500 and 50..60; then 3 points remain.
    QTest::newRow("a zoom past the points held is bounded")
        << 600 << QList<QLine> { { 2, 10, 768, 200 } } << 3 << true << 1 << 2;
    QTest::newRow("a zoom without points held is left")
        << 600 << QList<QLine> { { 77, 10, 94, 200 } } << 3 << false << 0 << 2;
}

void DMMChartTest::zoomRange()
{
    QFETCH(int, count);
    QFETCH(QList<QLine>, bands);
    QFETCH(int, held);
    QFETCH(bool, zoomed);
    QFETCH(int, first);
    QFETCH(int, last);
    ChartZoom zoom;
    zoom.fit(count);
    for (const QLine& band : bands) {
        const ChartScale scale = ChartScale::fit(0, 0, zoom.shownCount(), QSize(920, 520));
        zoom.applyBand(band.p1(), band.p2(), scale);
        zoom.fit(count);
    }
    zoom.fit(held);
    QCOMPARE(zoom.isZoomed(), zoomed);
    QCOMPARE(zoom.firstIndex(), first);
    QCOMPARE(zoom.lastIndex(), last);
    QCOMPARE(zoom.shownCount(), last - first + 1);
}

void DMMChartTest::zoomsWithTheMouse()
{
    DMMChart chart;
    prepare(chart);
    QList<double> values;
    for (int i = 0; i < 100; ++i)
        values << i % 7;
    fill(chart, values);
    chart.picture();
    QVERIFY(!chart.isZoomed());
    QCOMPARE(chart.lastIndex(), 99);

    drag(chart, QPoint(92, 10), QPoint(460, 200));
    QVERIFY(chart.isZoomed());
    QCOMPARE(chart.firstIndex(), 10);
    QCOMPARE(chart.lastIndex(), 49);
    // A second band narrows relative to the range shown; the end is held inside the plot.
    drag(chart, QPoint(115, 10), QPoint(2000, 300));
    QVERIFY(chart.isZoomed());
    QCOMPARE(chart.firstIndex(), 15);
    QCOMPARE(chart.lastIndex(), 49);
    // Any other drag returns to the full view.
    drag(chart, QPoint(400, 300), QPoint(100, 10));
    QVERIFY(!chart.isZoomed());
    QCOMPARE(chart.firstIndex(), 0);
    QCOMPARE(chart.lastIndex(), 99);

    // A click ends its band: the full view follows new points again.
    drag(chart, QPoint(300, 100), QPoint(300, 100));
    chart.appendPoint(point(100, 3), 0);
    chart.picture();
    QVERIFY(!chart.isZoomed());
    QCOMPARE(chart.lastIndex(), 100);
}

void DMMChartTest::zoomedViewIgnoresNewPoints()
{
    DMMChart chart;
    prepare(chart);
    fill(chart, ramp(0, 99));
    chart.picture();
    drag(chart, QPoint(92, 10), QPoint(460, 200));
    QVERIFY(chart.isZoomed());
    const QImage before = chart.picture();
    // The zoomed chart looks like one holding only the points shown, scaled to their largest
    // value 49.
    DMMChart shown;
    prepare(shown);
    fill(shown, ramp(10, 49), 10);
    QCOMPARE(before, shown.picture());

    for (int i = 100; i < 150; ++i)
        chart.appendPoint(point(i, 1000.0), 0);
    QCOMPARE(chart.picture(), before);
    QCOMPARE(chart.lastIndex(), 49);

    drag(chart, QPoint(460, 200), QPoint(92, 10));
    QCOMPARE(chart.firstIndex(), 0);
    QCOMPARE(chart.lastIndex(), 149);
    QCOMPARE(chart.nearestPoint(INT_MAX), 149);
    // Back in the full view, all 150 points are scaled to the new largest value 1000.
    DMMChart all;
    prepare(all);
    fill(all, ramp(0, 99));
    for (int i = 100; i < 150; ++i)
        all.appendPoint(point(i, 1000.0), 0);
    QCOMPARE(chart.picture(), all.picture());
}

void DMMChartTest::clearReturnsToFullView()
{
    DMMChart chart;
    prepare(chart);
    fill(chart, ramp(0, 99));
    chart.picture();
    drag(chart, QPoint(460, 10), QPoint(900, 200));
    QVERIFY(chart.isZoomed());
    QVERIFY(chart.firstIndex() > 40);

    chart.clear();
    QVERIFY(!chart.isZoomed());
    QCOMPARE(chart.pointCount(), 0);
    fill(chart, { 1, 2, 3 });
    chart.picture();
    QCOMPARE(chart.firstIndex(), 0);
    QCOMPARE(chart.lastIndex(), 2);
}

void DMMChartTest::decimatedLineMatchesFullPolyline_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("width");
    QTest::addColumn<QLine>("band"); // dragged once the full view is drawn; none when null
    QTest::addColumn<int>("overRangeEvery"); // every n-th point is "OL"; 0 for none
    const QLine none;
    QTest::newRow("noise 5000") << "noise" << 5000 << 1000 << none << 0;
    QTest::newRow("noise 60000") << "noise" << 60000 << 1000 << none << 0;
    QTest::newRow("sparse 3") << "noise" << 3 << 1000 << none << 0;
    QTest::newRow("sparse 500") << "sine" << 500 << 1000 << none << 0;
    QTest::newRow("a single point") << "constant" << 1 << 1000 << none << 0;
    QTest::newRow("sine 100000") << "sine" << 100000 << 1000 << none << 0;
    QTest::newRow("steps 30000 narrow") << "steps" << 30000 << 317 << none << 0;
    QTest::newRow("constant 50000") << "constant" << 50000 << 777 << none << 0;
    QTest::newRow("just over two per column") << "sine" << 1900 << 1000 << none << 0;
    // Large enough that every column's extremes come from the block index.
    QTest::newRow("noise 400000") << "noise" << 400000 << 1000 << none << 0;
    QTest::newRow("sine 150000 zoomed")
        << "sine" << 150000 << 1000 << QLine(100, 10, 700, 500) << 0;
    QTest::newRow("noise 100000 zoomed to a few points")
        << "noise" << 100000 << 1000 << QLine(100, 10, 108, 500) << 0;
    // Over-range points break the line into runs, drawn each on its own.
    QTest::newRow("noise 50000, over-range every 97th") << "noise" << 50000 << 1000 << none << 97;
    QTest::newRow("sine 3000, over-range every 3rd") << "sine" << 3000 << 1000 << none << 3;
    QTest::newRow("steps 100000, over-range every 5000th, zoomed")
        << "steps" << 100000 << 1000 << QLine(50, 10, 600, 500) << 5000;
}

void DMMChartTest::decimatedLineMatchesFullPolyline()
{
    QFETCH(QString, shape);
    QFETCH(int, count);
    QFETCH(int, width);
    QFETCH(QLine, band);
    QFETCH(int, overRangeEvery);
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
    auto overRange = [overRangeEvery](int i) {
        return overRangeEvery > 0 && i % overRangeEvery == overRangeEvery / 2;
    };
    DMMChart chart;
    prepare(chart, width, 600);
    QList<ChartPoint*> points;
    for (int i = 0; i < count; ++i) {
        // An over-range point's value is no value: a huge one must change nothing.
        ChartPoint* p = point(i, overRange(i) ? 1e9 : values.at(i));
        p->state = overRange(i) ? DmmData::OverRange : DmmData::Numeric;
        points.append(p);
    }
    chart.appendPoints(points, 0);
    chart.picture();
    if (!band.isNull())
        drag(chart, band.p1(), band.p2());
    const QImage drawn = chart.picture();
    const int first = chart.firstIndex();
    const int shown = chart.lastIndex() - first + 1;
    QVERIFY(shown > 0);

    // Reference: every segment between neighbouring points that are both drawn, stroked one by
    // one, and the points without a drawn neighbour as single pixels.
    const QRect plot = chart.plotRect();
    QList<double> shownValues;
    for (int b = 0; b < shown; ++b)
        shownValues << (overRange(first + b) ? qQNaN() : values.at(first + b));
    const ChartScale scale = scaleFor(shownValues, plot.size());
    const ChartGrid grid = ChartGrid::place(scale, plot, shown);
    QImage reference(drawn.size(), drawn.format());
    reference.fill(Qt::white);
    {
        QPainter painter(&reference);
        QPen pen(lineColour);
        pen.setCosmetic(true);
        painter.setPen(pen);
        auto at = [&](int b) {
            return QPoint(
                int(b * scale.xStep + plot.x()), int(grid.base - scale.yScale * shownValues.at(b)));
        };
        auto drawnAt = [&](int b) { return b >= 0 && b < shown && !overRange(first + b); };
        for (int b = 0; b < shown; ++b) {
            if (!drawnAt(b))
                continue;
            if (drawnAt(b + 1))
                painter.drawLine(at(b), at(b + 1));
            else if (!drawnAt(b - 1))
                painter.drawPoint(at(b));
        }
    }
    QVERIFY(countColour(drawn, lineColour) > 0);
    QImage drawnMask = lineMask(drawn);
    QImage referenceMask = lineMask(reference);
    if (overRangeEvery > 0) {
        // The marks of the over-range points sit in the plot's top rows; the line stays below.
        for (QImage* mask : { &drawnMask, &referenceMask }) {
            QPainter painter(mask);
            painter.fillRect(QRect(0, plot.top(), mask->width(), 4), Qt::white);
        }
    }
    QCOMPARE(drawnMask, referenceMask);
}

void DMMChartTest::drawsAxesAndLine()
{
    DMMChart chart;
    prepare(chart);
    QImage empty = chart.picture();
    const QRect plot = chart.plotRect();
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
    QCOMPARE(
        countColour(drawn, Qt::black, QRect(plot.left(), plot.bottom() + 4, plot.width(), 1)), 3);
    QCOMPARE(drawn.pixelColor(plot.left() + 307, plot.bottom() + 4), QColor(Qt::black));

    chart.setLeftMargin(70);
    chart.setBottomMargin(68);
    const QImage moved = chart.picture();
    QCOMPARE(chart.plotRect(), QRect(70, 40, 910, 492));
    QCOMPARE(chart.margins(), (PlotMargins { 70, 40, 20, 68 }));
    QCOMPARE(moved.pixelColor(69, 300), QColor(Qt::black));
}

void DMMChartTest::settersRedraw_data()
{
    QTest::addColumn<QString>("setter");
    QTest::newRow("left margin") << "left margin";
    QTest::newRow("bottom margin") << "bottom margin";
    QTest::newRow("horizontal title") << "x title";
    QTest::newRow("unit text") << "unit text";
    QTest::newRow("decimals") << "decimals";
}

void DMMChartTest::settersRedraw()
{
    QFETCH(QString, setter);
    DMMChart chart;
    prepare(chart);
    chart.setXTitle("Date Time");
    chart.setUnitText("cm/s");
    fill(chart, { 0.5, 1.5, 1.0 });
    const QImage before = chart.picture();
    if (setter == "left margin")
        chart.setLeftMargin(70);
    else if (setter == "bottom margin")
        chart.setBottomMargin(68);
    else if (setter == "x title")
        chart.setXTitle("Time");
    else if (setter == "unit text")
        chart.setUnitText("mm");
    else
        chart.setDecimals(3);
    QVERIFY(chart.picture() != before);
}

void DMMChartTest::indicatorFollowsPointerAndExpires()
{
    DMMChart chart;
    prepare(chart);
    fill(chart, { 1, 2, 3 });
    chart.picture();
    auto* timer = chart.findChild<QTimer*>();
    QVERIFY(timer);
    const int lineX = chart.plotRect().left() + 307;
    const QRect atPoint1(lineX, 100, 1, 300);
    QCOMPARE(countColour(chart.picture(), indicatorColour, atPoint1), 0);

    mouse(chart, QEvent::MouseMove, QPoint(300, 200));
    QVERIFY(timer->isActive());
    QVERIFY(timer->isSingleShot());
    QCOMPARE(timer->interval(), 3000);
    // The indicator marks point 1, the nearest, with its text right of the line, above the plot.
    const QImage shown = chart.picture();
    QVERIFY(countColour(shown, indicatorColour, atPoint1) >= 290);
    QVERIFY(countBluish(shown, QRect(lineX + 2, 0, 200, chart.plotRect().top())) > 20);

    chart.slotTmrIndicatorTimeout();
    timer->stop();
    QCOMPARE(countColour(chart.picture(), indicatorColour, atPoint1), 0);

    // A left press hides it at once and starts a band.
    mouse(chart, QEvent::MouseMove, QPoint(100, 200));
    QVERIFY(countColour(chart.picture(), indicatorColour) > 0);
    mouse(chart, QEvent::MouseButtonPress, QPoint(100, 200));
    QCOMPARE(countColour(chart.picture(), indicatorColour), 0);
    mouse(chart, QEvent::MouseMove, QPoint(700, 300));
    mouse(chart, QEvent::MouseButtonRelease, QPoint(700, 300));
    chart.picture();
    QVERIFY(chart.isZoomed());
    QCOMPARE(chart.firstIndex(), 1);
    // The press forgot the point marked before (point 0), so pointing at the first point shown
    // marks it again.
    mouse(chart, QEvent::MouseMove, QPoint(0, 200));
    QVERIFY(
        countColour(chart.picture(), indicatorColour, QRect(chart.plotRect().left(), 100, 1, 300))
        >= 290);
}

void DMMChartTest::indicatorTextFlipsAtRightEdge()
{
    DMMChart chart;
    prepare(chart);
    fill(chart, ramp(0, 9));
    chart.picture();
    mouse(chart, QEvent::MouseMove, QPoint(915, 200));
    const QImage image = chart.picture();
    // Point 9 of 10 over 920 px sits at x 828.
    const int lineX = chart.plotRect().left() + 828;
    QVERIFY(countColour(image, indicatorColour, QRect(lineX, 100, 1, 300)) >= 290);
    const QRect above(0, 0, chart.width(), chart.plotRect().top());
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
    const QList<double> values = ramp(0, 499);
    fill(chart, values);
    const QImage image = chart.picture(); // must return: no endless step search
    QCOMPARE(image.size(), size);
    const QRect plot = chart.plotRect();
    QVERIFY(plot.isEmpty());
    const ChartGrid grid = ChartGrid::place(scaleFor(values, plot.size()), plot, values.size());
    QVERIFY(!grid.hasBase);
    QCOMPARE(grid.xLabelCount, 0);
    QCOMPARE(grid.yGridAbove, 0);
    QCOMPARE(grid.yGridBelow, 0);
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
    mouse(chart, QEvent::MouseMove, QPoint(200, 200));
    QCOMPARE(countColour(chart.picture(), indicatorColour), 0);
    // No band was started: new points are drawn at once, and nothing is marked.
    fill(chart, { 1, 2, 3 });
    const QImage image = chart.picture();
    QVERIFY(countColour(image, lineColour) > 0);
    QCOMPARE(countColour(image, indicatorColour), 0);
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

void DMMChartTest::pointFromReading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("state");
    QTest::addColumn<QDateTime>("time");
    QTest::newRow("numeric") << " 1.25" << 1.25 << int(DmmData::Numeric) << start;
    QTest::newRow("over range") << "    OL" << 0.0 << int(DmmData::OverRange) << start;
    QTest::newRow("negative over range")
        << "   -OL" << 0.0 << int(DmmData::NegativeOverRange) << start;
    QTest::newRow("no reading") << "----" << 0.0 << int(DmmData::NoReading) << start;
    // Texts and times the chart cannot keep in its compact form are kept whole.
    QTest::newRow("unusual text") << "12,5e" << 12.5 << int(DmmData::Numeric) << start;
    QTest::newRow("universal time")
        << " 2.00" << 2.0 << int(DmmData::Numeric) << start.toUTC().addMSecs(7);
    QTest::newRow("fixed offset") << " 2.50" << 2.5 << int(DmmData::Numeric)
                                  << QDateTime(
                                         start.date(), start.time(), Qt::OffsetFromUTC, 19800);
    QTest::newRow("no time") << " 3.00" << 3.0 << int(DmmData::Numeric) << QDateTime();
}

void DMMChartTest::pointFromReading()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(int, state);
    QFETCH(QDateTime, time);
    DmmData reading;
    reading.setDateTime(time);
    reading.addValue(value);
    reading.addText(text);
    reading.setState(state);
    reading.setUnit(2, "cm/s");
    ChartPoint* p = ChartPoint::fromReading(&reading);
    QVERIFY(p);
    QCOMPARE(p->time, time);
    QCOMPARE(p->value, value);
    QCOMPARE(p->valueText, text);
    QCOMPARE(p->label.toString(), text + QStringLiteral(" cm/s"));
    QCOMPARE(p->state, state);
    QCOMPARE(ChartPoint::fromReading(nullptr), nullptr);

    // The chart keeps the same point, whether given the point or the reading.
    DMMChart chart;
    chart.appendPoint(p, 0);
    chart.appendReading(&reading, 0);
    for (int i = 0; i < 2; ++i) {
        const std::optional<ChartPoint> kept = chart.point(i);
        QVERIFY(kept);
        QCOMPARE(kept->time.toString(Qt::ISODateWithMs), time.toString(Qt::ISODateWithMs));
        QCOMPARE(kept->time.timeSpec(), time.timeSpec());
        QCOMPARE(kept->value, value);
        QCOMPARE(kept->valueText, text);
        QCOMPARE(kept->label.toString(), text + QStringLiteral(" cm/s"));
        QCOMPARE(kept->state, state);
    }
    // The offset from UTC changes among the points (summer time ends): each keeps its own.
    const QDateTime shifted = QDateTime(start.date(), start.time(), Qt::OffsetFromUTC, 3600);
    reading.setDateTime(shifted);
    chart.appendReading(&reading, 0);
    QCOMPARE(chart.point(2)->time.toString(Qt::ISODateWithMs), shifted.toString(Qt::ISODateWithMs));
    QVERIFY(!chart.point(3));
}

void DMMChartTest::overRangeBreaksTheLine_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("topMark");
    QTest::addColumn<bool>("bottomMark");
    QTest::newRow("OL: a mark at the top") << int(DmmData::OverRange) << true << false;
    QTest::newRow("-OL: a mark at the bottom") << int(DmmData::NegativeOverRange) << false << true;
    QTest::newRow("----: only the gap") << int(DmmData::NoReading) << false << false;
}

void DMMChartTest::overRangeBreaksTheLine()
{
    QFETCH(int, state);
    QFETCH(bool, topMark);
    QFETCH(bool, bottomMark);
    // Five points over 920 px, 184 px apart; the middle one is not numeric.
    auto picture = [state](double middleValue) {
        DMMChart chart;
        prepare(chart);
        QList<ChartPoint*> points;
        for (int i = 0; i < 5; ++i)
            points << point(i, i == 2 ? middleValue : 1.0 + i);
        points.at(2)->state = state;
        chart.appendPoints(points, 0);
        return chart.picture();
    };
    const QImage image = picture(0.0);
    // Its value plays no part: not in the scale, not in the line.
    QCOMPARE(picture(1000.0), image);

    const QRect plot(60, 40, 920, 520);
    const int x1 = plot.left() + 184;
    const int x2 = plot.left() + 368;
    const int x3 = plot.left() + 552;
    // The line reaches the neighbours of the gap and stops there.
    QVERIFY(countColour(image, lineColour, QRect(plot.left(), plot.top() + 4, 184, 512)) > 0);
    QVERIFY(countColour(image, lineColour, QRect(x3, plot.top() + 4, 368, 512)) > 0);
    QCOMPARE(countColour(image, lineColour, QRect(x1 + 1, plot.top() + 4, x3 - x1 - 1, 512)), 0);
    // A small mark at the edge the reading went past, where it fell.
    QCOMPARE(countColour(image, lineColour, QRect(x2 - 1, plot.top(), 3, 4)), topMark ? 12 : 0);
    QCOMPARE(countColour(image, lineColour, QRect(x2 - 1, plot.bottom() - 3, 3, 4)),
        bottomMark ? 12 : 0);
}

void DMMChartTest::pictureShowsPointsBeforeTheRepaint()
{
    DMMChart chart;
    prepare(chart);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    CoalescingTimer* repaint = chart.repaintTimer();
    // The first point repaints at once; the next ones within the interval wait for its end.
    chart.appendPoint(point(0, 1.0), 0);
    QVERIFY(!repaint->isPending());
    for (int i = 1; i < 50; ++i)
        chart.appendPoint(point(i, i % 7), 0);
    QVERIFY(repaint->isPending());

    // A picture taken meanwhile shows every point: the same as a chart given them all at once.
    DMMChart all;
    prepare(all);
    QList<double> values { 1.0 };
    for (int i = 1; i < 50; ++i)
        values << i % 7;
    fill(all, values);
    QCOMPARE(chart.picture(), all.picture());
    QCOMPARE(chart.grab().toImage().convertToFormat(QImage::Format_RGB32),
        all.picture().convertToFormat(QImage::Format_RGB32));
    repaint->flush();
    QVERIFY(!repaint->isPending());
}

namespace {
// count readings of unit into item, a wave around level, a second apart from first on.
void store(ItemData* item, int first, int count, const QString& unit, double level)
{
    for (int i = first; i < first + count; ++i) {
        auto* reading = new DmmData;
        reading->setDateTime(start.addSecs(i));
        const double value = level + std::sin(i / 7.0);
        reading->addValue(value);
        reading->addText(QString::number(value, 'f', 2));
        reading->setUnit(2, unit);
        item->appendReading(reading);
    }
}
}

void DMMChartTest::reshownItemMatchesFreshChart_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("readings stored while hidden") << "append";
    QTest::newRow("live reading while shown, more while hidden") << "live";
    QTest::newRow("readings cleared") << "clear";
    QTest::newRow("cleared and refilled in another unit") << "unit";
    QTest::newRow("a point not of the item while shown") << "foreign point";
    QTest::newRow("chart cleared while shown") << "chart cleared";
    QTest::newRow("another item deleted, a new one shown") << "delete";
    QTest::newRow("never shown, followed from empty") << "followed";
}

void DMMChartTest::reshownItemMatchesFreshChart()
{
    QFETCH(QString, change);
    auto a = std::make_unique<ItemData>(QStringLiteral("A"), ItemData::LiveMeasure);
    // B lives in place, so that an item made after B is deleted takes its address, as the
    // allocator may well give it.
    alignas(ItemData) unsigned char place[sizeof(ItemData)];
    ItemData* inPlace = new (place) ItemData(QStringLiteral("B"), ItemData::LiveMeasure);
    const auto destroyInPlace = qScopeGuard([&inPlace] { inPlace->~ItemData(); });
    ItemData* b = inPlace;
    store(a.get(), 0, 300, QStringLiteral("cm/s"), 3.0);
    store(b, 1000, 200, QStringLiteral("cm/s"), 8.0);
    const auto followed = std::make_unique<ItemData>(QStringLiteral("D"), ItemData::LiveMeasure);
    DMMChart chart;
    prepare(chart);
    chart.followItem(followed.get());
    chart.showItem(a.get());
    if (change == QLatin1String("live")) {
        store(a.get(), 300, 1, QStringLiteral("cm/s"), 3.0);
        chart.appendReading(a->lastReading(), 0);
    } else if (change == QLatin1String("foreign point")) {
        chart.appendPoint(point(300, 50.0), 0);
    } else if (change == QLatin1String("chart cleared")) {
        chart.clear();
        chart.appendReading(a->readings().first(), 0);
    }
    chart.showItem(b);
    chart.picture();

    ItemData* reshown = a.get();
    if (change == QLatin1String("append") || change == QLatin1String("live")) {
        store(a.get(), a->readingCount(), 150, QStringLiteral("cm/s"), 4.0);
    } else if (change == QLatin1String("clear")) {
        a->clearReadings();
    } else if (change == QLatin1String("unit")) {
        a->clearReadings();
        store(a.get(), 0, 120, QStringLiteral("mm/s"), 30.0);
    } else if (change == QLatin1String("delete")) {
        chart.showItem(a.get());
        inPlace->~ItemData();
        inPlace = new (place) ItemData(QStringLiteral("C"), ItemData::LiveMeasure);
        store(inPlace, 5000, 80, QStringLiteral("in/s"), 1.0);
        reshown = inPlace;
    } else if (change == QLatin1String("followed")) {
        store(followed.get(), 0, 250, QStringLiteral("cm/s"), 6.0);
        reshown = followed.get();
    }
    chart.showItem(reshown);

    DMMChart fresh;
    prepare(fresh);
    fresh.appendReadings(reshown->readings(), 0);
    QCOMPARE(chart.pointCount(), reshown->readingCount());
    QCOMPARE(chart.picture(), fresh.picture());
    for (int i : { 0, reshown->readingCount() / 2, reshown->readingCount() - 1 }) {
        const std::optional<ChartPoint> shown = chart.point(i);
        const std::optional<ChartPoint> expected = fresh.point(i);
        QCOMPARE(bool(shown), bool(expected));
        if (shown) {
            QCOMPARE(shown->time, expected->time);
            QCOMPARE(shown->label, expected->label);
        }
    }
}

void DMMChartTest::valueLabelsDiffer_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<int>("decimals");
    QTest::newRow("0 to 4, no decimals") << QList<double> { 0, 4 } << 0;
    QTest::newRow("-2 to 2, no decimals") << QList<double> { -2, 2 } << 0;
    QTest::newRow("0 to 1.5, no decimals") << QList<double> { 0, 1.5 } << 0;
    QTest::newRow("thousands, no decimals") << QList<double> { -200, 2600 } << 0;
    QTest::newRow("millions, no decimals") << QList<double> { 0, 1.6e6 } << 0;
    QTest::newRow("hundredths, one decimal") << QList<double> { 0, 0.9 } << 1;
    QTest::newRow("thousandths, two decimals") << QList<double> { -0.9, 0.02 } << 2;
}

void DMMChartTest::valueLabelsDiffer()
{
    QFETCH(QList<double>, values);
    QFETCH(int, decimals);
    const ChartScale scale = scaleFor(values);
    const ChartGrid grid = ChartGrid::place(scale, QRect(60, 40, 920, 520), values.size());
    QStringList labels;
    for (int l = grid.yGridAbove; l > 0; --l)
        labels << grid.valueLabel(l, false, decimals);
    for (int l = 0; l <= grid.yGridBelow; ++l)
        labels << grid.valueLabel(l, true, decimals);
    QVERIFY(labels.size() >= 3);
    QCOMPARE(QSet<QString>(labels.cbegin(), labels.cend()).size(), labels.size());
    // Never fewer decimals than asked for.
    QVERIFY(grid.valueLabel(0, false, decimals).startsWith(QString::number(0.0, 'f', decimals)));
}

void DMMChartTest::zoneBands_data()
{
    QTest::addColumn<int>("machineClass");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("detection");
    QTest::addColumn<QString>("band");
    QTest::addColumn<QList<double>>("values"); // the line; it sets the value axis
    QTest::addColumn<QList<double>>("samples"); // values whose rows are looked at
    QTest::addColumn<QList<int>>("zones"); // the band expected at each, NotGraded for none

    const QList<double> mms { 0, 10, 5 };
    const QList<double> cms { 0, 1, 0.5 };
    const int A = SeverityZones::A, B = SeverityZones::B, C = SeverityZones::C,
              D = SeverityZones::D, none = SeverityZones::NotGraded;
    // Class II: A/B 1.12, B/C 2.8, C/D 7.1 mm/s; a value on a boundary is in the lower zone.
    QTest::newRow("class II, mm/s")
        << int(SeverityZones::Part1ClassII) << "mm/s"
        << "Vrms"
        << "10-1kHz" << mms << QList<double> { 0.5, 1.0, 1.3, 2.6, 2.8, 3.0, 7.0, 7.3, 10.5 }
        << QList<int> { A, A, B, B, B, C, C, D, D };
    QTest::newRow("class II, cm/s: limits divided by ten")
        << int(SeverityZones::Part1ClassII) << "cm/s"
        << "Vrms"
        << "10-1kHz" << cms
        << QList<double> { 0.05, 0.10, 0.125, 0.26, 0.28, 0.30, 0.70, 0.73, 1.0 }
        << QList<int> { A, A, B, B, B, C, C, D, D };
    QTest::newRow("group 2 rigid, cm/s")
        << int(SeverityZones::Part3Group2Rigid) << "cm/s"
        << "Vrms"
        << "10-1kHz" << cms << QList<double> { 0.12, 0.16, 0.26, 0.30, 0.43, 0.47 }
        << QList<int> { A, B, B, C, C, D };
    // The value axis follows the readings: zone D of class IV lies above it.
    QTest::newRow("class IV, mm/s: bands beyond the axis are cut")
        << int(SeverityZones::Part1ClassIV) << "mm/s"
        << "Vrms"
        << "10-1kHz" << mms << QList<double> { 2.0, 3.0, 7.0, 7.3, 10.8 }
        << QList<int> { A, B, B, C, C };
    const QList<double> samples { 0.5, 2.0, 5.0, 9.0 };
    const QList<int> noBands { none, none, none, none };
    QTest::newRow("no class") << int(SeverityZones::NoClass) << "mm/s"
                              << "Vrms"
                              << "10-1kHz" << mms << samples << noBands;
    QTest::newRow("peak detection") << int(SeverityZones::Part1ClassII) << "mm/s"
                                    << "Ap"
                                    << "10-1kHz" << mms << samples << noBands;
    QTest::newRow("other band") << int(SeverityZones::Part1ClassII) << "mm/s"
                                << "Vrms"
                                << "10-10kHz" << mms << samples << noBands;
    QTest::newRow("acceleration") << int(SeverityZones::Part1ClassII) << "m/S2"
                                  << "Vrms"
                                  << "10-1kHz" << mms << samples << noBands;
    QTest::newRow("displacement") << int(SeverityZones::Part1ClassII) << "mm"
                                  << "Vrms"
                                  << "10-1kHz" << mms << samples << noBands;
}

void DMMChartTest::zoneBands()
{
    QFETCH(int, machineClass);
    QFETCH(QString, unit);
    QFETCH(QString, detection);
    QFETCH(QString, band);
    QFETCH(QList<double>, values);
    QFETCH(QList<double>, samples);
    QFETCH(QList<int>, zones);

    // The item's readings tell the unit, detection and band, as the window passes them on.
    ItemData item(QStringLiteral("Pump"), ItemData::LiveMeasure);
    ItemProperties properties;
    properties.machineClass = SeverityZones::MachineClass(machineClass);
    item.setProperties(properties);
    item.setUnitText(unit);
    QVERIFY(ChartZones::of(&item).isEmpty()); // no reading yet: nothing to grade
    for (double v : values) {
        auto* reading = new DmmData;
        reading->addValue(v);
        reading->addText(QString::number(v));
        reading->setUnit(2, unit);
        reading->setDetection(detection);
        reading->setBand(band);
        item.appendReading(reading);
    }

    DMMChart chart;
    prepare(chart);
    chart.appendReadings(item.readings());
    const QImage plain = chart.picture();
    chart.setZones(ChartZones::of(&item));
    const QImage image = chart.picture();
    // The line ends at x 673; right of it the rows show only the bands and dotted grid lines.
    for (int i = 0; i < samples.size(); ++i) {
        const int y = rowOf(values, samples.at(i));
        const QRect row(700, y, 270, 1);
        const auto zone = SeverityZones::Zone(zones.at(i));
        const QColor expected
            = zone == SeverityZones::NotGraded ? QColor(Qt::white) : tintOverWhite(zone);
        QVERIFY2(countNear(image, expected, row) >= 130,
            qPrintable(QStringLiteral("%1 at row %2").arg(samples.at(i)).arg(y)));
    }
    if (zones.contains(SeverityZones::NotGraded))
        QCOMPARE(image, plain);
    // Behind the line, never over it: as many line pixels as without bands.
    QCOMPARE(countColour(image, lineColour), countColour(plain, lineColour));
}

void DMMChartTest::levelLines_data()
{
    QTest::addColumn<double>("alert"); // NaN: not set
    QTest::addColumn<double>("danger");
    QTest::addColumn<bool>("alertShown");
    QTest::addColumn<bool>("dangerShown");
    // The line of 0, 10, 5 sets the axis to -1.1 .. 11.
    QTest::newRow("both inside") << 6.0 << 8.0 << true << true;
    QTest::newRow("danger above the axis") << 6.0 << 20.0 << true << false;
    QTest::newRow("alert below the axis") << -3.0 << 9.5 << false << true;
    QTest::newRow("close together") << 6.0 << 6.2 << true << true;
    QTest::newRow("none") << qQNaN() << qQNaN() << false << false;
}

void DMMChartTest::levelLines()
{
    QFETCH(double, alert);
    QFETCH(double, danger);
    QFETCH(bool, alertShown);
    QFETCH(bool, dangerShown);
    const QList<double> values { 0, 10, 5 };
    DMMChart chart;
    prepare(chart);
    chart.setUnitText(QStringLiteral("mm/s"));
    fill(chart, values);
    const QImage plain = chart.picture();
    ChartZones zones;
    if (!qIsNaN(alert))
        zones.alertLevel = alert;
    if (!qIsNaN(danger))
        zones.dangerLevel = danger;
    chart.setZones(zones);
    QCOMPARE(chart.zones(), zones);
    const QImage image = chart.picture();

    const QRect plot = chart.plotRect();
    const struct
    {
        double level;
        bool shown;
        QColor colour;
    } levels[] = { { alert, alertShown, ZoneColors::alert() },
        { danger, dangerShown, ZoneColors::danger() } };
    for (const auto& level : levels) {
        if (!level.shown) {
            QCOMPARE(countColour(image, level.colour), 0);
            continue;
        }
        // A line across the plot at the level's row, and a label near its right end.
        // The readings' line crosses over it.
        const int y = rowOf(values, level.level);
        const QRect row(plot.left(), y, plot.width(), 1);
        const int onRow = countColour(image, level.colour, row);
        QCOMPARE(onRow, plot.width() - countColour(image, lineColour, row));
        QCOMPARE(countColour(image, level.colour), onRow);
        const QRect label(plot.right() - 120, y - 20, 120, 41);
        QVERIFY(countColour(image, Qt::white, label) < countColour(plain, Qt::white, label) - 20);
    }
    if (!alertShown && !dangerShown)
        QCOMPARE(image, plain);

    // The saved picture is the picture shown, levels included.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("chart.png"));
    QVERIFY(chart.savePicture(path));
    QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32),
        image.convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(DMMChartTest)
#include "tst_dmmchart.moc"

#include "histogram.h"

#include <QPainter>
#include <QtTest>

#include <cfloat>

namespace {
// The ranges the main window sets at start-up.
QList<BinRange*> standardRanges()
{
    const QList<QPair<double, double>> limits { { -DBL_MAX, 0 }, { 0, 200 }, { 200, 400 },
        { 400, 600 }, { 600, 800 }, { 800, 1000 }, { 1000, 1250 }, { 1250, DBL_MAX } };
    QList<BinRange*> ranges;
    for (const auto& l : limits)
        ranges.append(new BinRange { l.first, l.second });
    return ranges;
}

// Left 100, top 20, right 20, bottom 50: the plot is (w - 120) x (h - 70).
void prepare(Histogram& h, int plotWidth, int plotHeight)
{
    h.setMargins(100, 20, 20, 50);
    h.resize(plotWidth + 120, plotHeight + 70);
    QResizeEvent event(h.size(), QSize());
    QCoreApplication::sendEvent(&h, &event);
}

int fontHeight()
{
    QPixmap pixmap(1, 1);
    QPainter painter(&pixmap);
    return painter.fontMetrics().height();
}

int darkPixels(const QImage& image, const QRect& area)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            n += qGray(image.pixel(x, y)) < 128;
    }
    return n;
}
}

class HistogramTest : public QObject
{
    Q_OBJECT

private slots:
    void binMembership_data();
    void binMembership();
    void countStep_data();
    void countStep();
    void barGeometry();
    void ruleOnlyInTallRows_data();
    void ruleOnlyInTallRows();
    void valuesAndRanges();
    void noRoomStillPaints_data();
    void noRoomStillPaints();
};

void HistogramTest::binMembership_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("row");
    QTest::newRow("exactly 200 is row 1") << 200.0 << 1;
    QTest::newRow("200.5 is row 2") << 200.5 << 2;
    QTest::newRow("0 is row 0") << 0.0 << 0;
    QTest::newRow("negative is row 0") << -3.5 << 0;
    QTest::newRow("just above 0 is row 1") << 0.001 << 1;
    QTest::newRow("1250 is row 6") << 1250.0 << 6;
    QTest::newRow("above 1250 is row 7") << 1250.01 << 7;
    QTest::newRow("huge is row 7") << 1e300 << 7;
}

void HistogramTest::binMembership()
{
    QFETCH(double, value);
    QFETCH(int, row);
    Histogram h;
    h.setRanges(standardRanges());
    h.setValues({ value });
    QCOMPARE(h.bins.size(), 8);
    for (int m = 0; m < h.bins.size(); ++m) {
        QCOMPARE(h.bins.at(m)->binValues.size(), m == row ? 1 : 0);
        QCOMPARE(h.bins.at(m)->allValues.size(), 1);
        QCOMPARE(h.bars.at(m)->bin, h.bins.at(m));
    }
}

void HistogramTest::countStep_data()
{
    QTest::addColumn<int>("largestCount");
    QTest::addColumn<int>("plotWidth");
    QTest::addColumn<double>("pixelsPerCount");
    QTest::addColumn<int>("step");
    QTest::newRow("100 on 400 px") << 100 << 400 << 3.99 << 13;
    QTest::newRow("10 on 400 px") << 10 << 400 << 39.9 << 2;
    QTest::newRow("1 on 400 px") << 1 << 400 << 399.0 << 1;
    QTest::newRow("all counts 0") << 0 << 400 << 399.0 << 1;
    QTest::newRow("8 on 401 px") << 8 << 401 << 50.0 << 1;
    QTest::newRow("no room: 1 px") << 5 << 1 << 0.0 << 0;
    QTest::newRow("no room: negative") << 5 << -30 << -6.2 << 0;
}

void HistogramTest::countStep()
{
    QFETCH(int, largestCount);
    QFETCH(int, plotWidth);
    QFETCH(double, pixelsPerCount);
    QFETCH(int, step);
    Histogram h;
    h.setRanges(standardRanges());
    prepare(h, plotWidth, 400);
    QList<double> values;
    for (int i = 0; i < largestCount; ++i)
        values << 300.0;
    values << 700.0; // a smaller bin beside the largest one
    if (largestCount == 0)
        values.clear();
    h.setValues(values);
    h.picture(); // must return even without room
    QCOMPARE(h.maxCount, qMax(1, largestCount));
    QCOMPARE(h.pixelsPerCount, pixelsPerCount);
    QCOMPARE(h.countStep, step);
    if (step > 0)
        QVERIFY(step * pixelsPerCount >= 50 || step == 1);
}

void HistogramTest::barGeometry()
{
    Histogram h;
    h.setRanges(standardRanges());
    prepare(h, 400, 320);
    QList<double> values;
    for (int i = 0; i < 100; ++i)
        values << 300.0;
    values << 100.0 << 100.0 << 5000.0;
    h.setValues(values);
    h.picture();
    QCOMPARE(h.rowCount, 8);
    QCOMPARE(h.rowHeight, 40.0);
    // Row m spans upwards from the bottom edge; the bar fills its middle 80 percent.
    QCOMPARE(h.bars.at(2)->rect, QRectF(0, 4 - 3 * 40, 399, 32));
    QCOMPARE(h.bars.at(1)->rect, QRectF(0, 4 - 2 * 40, 7, 32)); // 2 x 3.99, truncated
    QCOMPARE(h.bars.at(7)->rect.width(), 3.0);
    QCOMPARE(h.bars.at(0)->rect, QRectF(0, 4 - 40, 1, 32)); // empty bins stay 1 pixel long
    QCOMPARE(h.bars.at(2)->color, QColor(250, 150, 0));

    // The bar colour reaches the picture at the bar's place.
    const QImage image = h.picture();
    const int bottom = h.height() - 50;
    QCOMPARE(image.pixelColor(100 + 20, bottom - 2 * 40 - 20), QColor(250, 150, 0));
    QCOMPARE(image.pixelColor(100 + 200, bottom - 3 * 40 - 20), QColor(Qt::white));
    // Axes: the count axis one pixel under the plot, the range axis one pixel left of it.
    QVERIFY(qGray(image.pixel(100 + 50, bottom + 1)) < 128);
    QVERIFY(qGray(image.pixel(99, bottom - 100)) < 128);
}

void HistogramTest::ruleOnlyInTallRows_data()
{
    QTest::addColumn<double>("rowInFontHeights");
    QTest::addColumn<bool>("rule");
    QTest::newRow("bar 4 font heights tall") << 5.0 << true;
    QTest::newRow("bar 2.8 font heights tall") << 3.5 << false;
}

void HistogramTest::ruleOnlyInTallRows()
{
    QFETCH(double, rowInFontHeights);
    QFETCH(bool, rule);
    const int fh = fontHeight();
    Histogram h;
    h.setRanges(standardRanges());
    prepare(h, 400, int(8 * rowInFontHeights * fh));
    const QImage image = h.picture();
    const HistogramBar* bar = h.bars.at(3);
    QCOMPARE(bar->rect.height() >= 3 * fh, rule);

    // The label column ends one blank left of the plot; look between the row's two labels.
    QPixmap probe(1, 1);
    QPainter painter(&probe);
    const int column = painter.fontMetrics().horizontalAdvance(QStringLiteral("0000.0 "));
    const int blank = painter.fontMetrics().horizontalAdvance(QStringLiteral(" "));
    const int bottom = h.height() - 50;
    const int top = bottom + int(bar->rect.top()) + fh + 1;
    const int free = int(bar->rect.height()) - 2 * fh - 2;
    QVERIFY(free > 0);
    const QRect middle(100 - blank - column, top, column, free);
    QCOMPARE(darkPixels(image, middle) > 0, rule);
}

void HistogramTest::valuesAndRanges()
{
    Histogram h;
    const QList<BinRange*> ranges = standardRanges();
    h.setRanges(ranges);
    h.setValues({ 1, 2, 300, -1 });
    QCOMPARE(h.bins.at(1)->binValues, (QList<double> { 1, 2 }));
    QCOMPARE(h.bins.at(0)->binValues, (QList<double> { -1 }));

    // Setting the same list again keeps the ranges and rebuilds the bins from the values.
    h.setRanges(ranges);
    QCOMPARE(h.ranges, ranges);
    QCOMPARE(h.bins.at(2)->binValues, (QList<double> { 300 }));
    QCOMPARE(h.bins.at(2)->range->low, 200.0);

    h.clearValues();
    QVERIFY(h.values.isEmpty());
    for (const HistogramBin* bin : h.bins) {
        QVERIFY(bin->binValues.isEmpty());
        QVERIFY(bin->allValues.isEmpty());
    }

    h.setRanges(QList<QPair<double, double>> { { 0, 10 }, { 10, 20 } });
    h.setValues({ 10, 10.5, 0 });
    QCOMPARE(h.bins.size(), 2);
    QCOMPARE(h.bins.at(0)->binValues.size(), 1);
    QCOMPARE(h.bins.at(1)->binValues.size(), 1);
}

void HistogramTest::noRoomStillPaints_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("step");
    QTest::newRow("smaller than the margins") << QSize(40, 30) << 0;
    QTest::newRow("flat") << QSize(600, 60) << 1;
    QTest::newRow("tiny") << QSize(1, 1) << 0;
}

void HistogramTest::noRoomStillPaints()
{
    QFETCH(QSize, size);
    QFETCH(int, step);
    Histogram h;
    h.setRanges(standardRanges());
    h.setValues({ 5, 500, 5000 });
    h.setMargins(100, 20, 20, 50);
    h.resize(size);
    const QImage image = h.picture();
    QCOMPARE(image.size(), size);
    QCOMPARE(h.countStep, step);
    QVERIFY(!h.hasRoom());
    // No bar reaches the picture.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            QVERIFY(image.pixelColor(x, y) != QColor(250, 150, 0));
    }
}

QTEST_MAIN(HistogramTest)
#include "tst_histogram.moc"

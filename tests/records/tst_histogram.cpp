#include "histogram.h"
#include "histogramlayout.h"

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

// The layout the histogram draws with, from what it tells about itself.
HistogramLayout layoutOf(const Histogram& h)
{
    return HistogramLayout::place(h.counts(), h.plotRect().size());
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
    void barRects_data();
    void barRects();
    void drawsBarsAndAxes();
    void ruleOnlyInTallRows_data();
    void ruleOnlyInTallRows();
    void valuesAndRanges();
    void settersRedraw_data();
    void settersRedraw();
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
    QCOMPARE(h.values().size(), 1);
    const QVector<int> counts = h.counts();
    QCOMPARE(counts.size(), 8);
    for (int m = 0; m < counts.size(); ++m)
        QCOMPARE(counts.at(m), m == row ? 1 : 0);
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
    // The largest count in row 2, a smaller one beside it in row 4.
    QVector<int> counts(8, 0);
    if (largestCount > 0) {
        counts[2] = largestCount;
        counts[4] = 1;
    }
    const HistogramLayout layout = HistogramLayout::place(counts, QSizeF(plotWidth, 400));
    QCOMPARE(layout.maxCount, qMax(1, largestCount));
    QCOMPARE(layout.pixelsPerCount, pixelsPerCount);
    QCOMPARE(layout.countStep, step);
    if (step > 0)
        QVERIFY(step * pixelsPerCount >= 50 || step == 1);
}

void HistogramTest::barRects_data()
{
    QTest::addColumn<QVector<int>>("counts");
    QTest::addColumn<QSizeF>("plotSize");
    QTest::addColumn<double>("rowHeight");
    QTest::addColumn<QVector<QRectF>>("rects");
    // Row m spans upwards from the bottom edge; the bar fills its middle 80 percent. 3.99 px per
    // count, lengths truncated; empty bins stay 1 pixel long.
    QTest::newRow("eight rows") << QVector<int> { 0, 2, 100, 0, 0, 0, 0, 1 } << QSizeF(400, 320)
                                << 40.0
                                << QVector<QRectF> { { 0, 4 - 40, 1, 32 }, { 0, 4 - 2 * 40, 7, 32 },
                                       { 0, 4 - 3 * 40, 399, 32 }, { 0, 4 - 4 * 40, 1, 32 },
                                       { 0, 4 - 5 * 40, 1, 32 }, { 0, 4 - 6 * 40, 1, 32 },
                                       { 0, 4 - 7 * 40, 1, 32 }, { 0, 4 - 8 * 40, 3, 32 } };
    QTest::newRow("all counts 0") << QVector<int> { 0, 0, 0 } << QSizeF(400, 300) << 100.0
                                  << QVector<QRectF> { { 0, 10 - 100, 1, 80 },
                                         { 0, 10 - 200, 1, 80 }, { 0, 10 - 300, 1, 80 } };
    QTest::newRow("no ranges") << QVector<int> {} << QSizeF(400, 300) << 1.0 << QVector<QRectF> {};
}

void HistogramTest::barRects()
{
    QFETCH(QVector<int>, counts);
    QFETCH(QSizeF, plotSize);
    QFETCH(double, rowHeight);
    QFETCH(QVector<QRectF>, rects);
    const HistogramLayout layout = HistogramLayout::place(counts, plotSize);
    QCOMPARE(layout.rowCount, counts.size());
    QCOMPARE(layout.rowHeight, rowHeight);
    QCOMPARE(layout.barRects, rects);
}

void HistogramTest::drawsBarsAndAxes()
{
    Histogram h;
    h.setRanges(standardRanges());
    prepare(h, 400, 320);
    QCOMPARE(h.plotRect(), QRect(100, 20, 400, 320));
    QList<double> values;
    for (int i = 0; i < 100; ++i)
        values << 300.0;
    values << 100.0 << 100.0 << 5000.0;
    h.setValues(values);
    QCOMPARE(h.counts(), (QVector<int> { 0, 2, 100, 0, 0, 0, 0, 1 }));

    // The bar colour reaches the picture at the bar's place (row 2, 399 px long; row 3 empty).
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
    const QRectF bar = layoutOf(h).barRects.at(3);
    QCOMPARE(bar.height() >= 3 * fh, rule);

    // The label column ends one blank left of the plot; look between the row's two labels.
    QPixmap probe(1, 1);
    QPainter painter(&probe);
    const int column = painter.fontMetrics().horizontalAdvance(QStringLiteral("0000.0 "));
    const int blank = painter.fontMetrics().horizontalAdvance(QStringLiteral(" "));
    const int bottom = h.height() - 50;
    const int top = bottom + int(bar.top()) + fh + 1;
    const int free = int(bar.height()) - 2 * fh - 2;
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
    QCOMPARE(h.values(), (QList<double> { 1, 2, 300, -1 }));
    QCOMPARE(h.counts(), (QVector<int> { 1, 2, 1, 0, 0, 0, 0, 0 }));

    // Setting the same list again keeps the ranges and their counts.
    h.setRanges(ranges);
    QCOMPARE(h.ranges(), ranges);
    QCOMPARE(h.ranges().at(2)->low, 200.0);
    QCOMPARE(h.counts().at(2), 1);

    h.clearValues();
    QVERIFY(h.values().isEmpty());
    QCOMPARE(h.counts(), QVector<int>(8, 0));

    h.setRanges(QList<QPair<double, double>> { { 0, 10 }, { 10, 20 } });
    h.setValues({ 10, 10.5, 0 });
    QCOMPARE(h.ranges().size(), 2);
    QCOMPARE(h.counts(), (QVector<int> { 1, 1 }));
}

void HistogramTest::settersRedraw_data()
{
    QTest::addColumn<QString>("setter");
    QTest::newRow("margins") << "margins";
    QTest::newRow("count title") << "x title";
    QTest::newRow("range title") << "y title";
    QTest::newRow("values") << "values";
    QTest::newRow("cleared values") << "clear";
    QTest::newRow("ranges") << "ranges";
}

void HistogramTest::settersRedraw()
{
    QFETCH(QString, setter);
    Histogram h;
    h.setRanges(standardRanges());
    prepare(h, 400, 320);
    h.setXTitle("Rate");
    h.setYTitle("Thickness(um)");
    h.setValues({ 100, 300, 300 });
    const QImage before = h.picture();
    if (setter == "margins")
        h.setMargins(80, 20, 20, 50);
    else if (setter == "x title")
        h.setXTitle("Count");
    else if (setter == "y title")
        h.setYTitle("mm");
    else if (setter == "values")
        h.setValues({ 100, 100, 300 });
    else if (setter == "clear")
        h.clearValues();
    else
        h.setRanges(QList<QPair<double, double>> { { 0, 150 }, { 150, 400 } });
    QVERIFY(h.picture() != before);
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
    const HistogramLayout layout = layoutOf(h);
    QCOMPARE(layout.countStep, step);
    QVERIFY(!layout.hasRoom());
    // No bar reaches the picture.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            QVERIFY(image.pixelColor(x, y) != QColor(250, 150, 0));
    }
}

QTEST_MAIN(HistogramTest)
#include "tst_histogram.moc"

#pragma once

#include <QColor>
#include <QList>
#include <QPair>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QVector>
#include <QWidget>

#include "histogramlayout.h"
#include "plotmargins.h"

// One value range of the histogram: low < v <= high.
struct BinRange
{
    double low = 0.0;
    double high = 0.0;

    bool contains(double v) const { return low < v && v <= high; }
};

// The values of one range.
struct HistogramBin
{
    QList<double> allValues;
    BinRange* range = nullptr;
    QList<double> binValues;

    void recount(const QList<double>& values);
};

// The bar drawn for one bin.
struct HistogramBar
{
    QRectF rect;
    HistogramBin* bin = nullptr;
    QColor color { 250, 150, 0 };
};

// Counts of values per range as horizontal bars, lowest range at the bottom.
class Histogram : public QWidget
{
    Q_OBJECT

public:
    explicit Histogram(QWidget* parent = nullptr);
    ~Histogram() override;

    // The histogram takes ownership of the ranges and deletes them when they are replaced or
    // when it is destroyed.
    void setRanges(const QList<BinRange*>& ranges);
    // Convenience: the ranges as (low, high) pairs.
    void setRanges(const QList<QPair<double, double>>& limits);
    void setMargins(int left, int top, int right, int bottom);
    void setXTitle(const QString& title);
    void setYTitle(const QString& title);
    void clearValues();
    // Sets the values counted and recounts every bin.
    void setValues(const QList<double>& values);

    QSize sizeHint() const override;
    // The finished picture, brought up to date first.
    QImage picture();

    const QList<BinRange*>& ranges() const { return binRanges; }
    QList<double> values() const { return countedValues; }
    // How many of the values each range holds, row 0 (the lowest range) first.
    QVector<int> counts() const;
    PlotMargins margins() const { return plotMargins; }
    // The plot area in widget pixels, derived from the widget's size and the margins.
    QRect plotRect() const;
    QString xTitle() const { return countTitle; }
    QString yTitle() const { return rangeTitle; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void recountBins();
    void renderLayers();
    void drawAxes();
    void drawBars();
    void setLogicalWindow(QPainter& painter) const;

    PlotMargins plotMargins { 20, 20, 20, 20 };
    QList<BinRange*> binRanges;
    QList<double> countedValues;
    QList<HistogramBin*> bins;
    QList<HistogramBar*> bars;
    bool dirtyAxes = true;
    bool dirtyBars = false;
    bool dirtyTop = false;
    QPixmap axesLayer;
    QPixmap barsLayer;
    QPixmap topLayer;
    // The row layout, run at the start of every paint.
    HistogramLayout rows;
    QString countTitle;
    QString rangeTitle;
};

#pragma once

#include <QColor>
#include <QFrame>
#include <QList>
#include <QMutex>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>

#include "chartline.h"
#include "chartpoint.h"

class QTimer;

// The trend chart: readings as a line over arrival order, a self-scaling value axis, time labels,
// a pointer-following indicator and rubber-band zoom. It paints into four stacked layers so the
// indicator and the band are redrawn without recomputing axes and lines.
class DMMChart : public QFrame
{
    Q_OBJECT

public:
    explicit DMMChart(QWidget* parent = nullptr);
    ~DMMChart() override;

    void appendPoint(ChartPoint* point, int line = 0);
    void appendPoints(const QList<ChartPoint*>& points, int line = 0);
    void clear();
    void setLeftMargin(int margin);
    void setBottomMargin(int margin);
    void setXTitle(const QString& title);
    void setUnitText(const QString& text);
    void setDecimals(int decimals);
    bool savePicture(const QString& path);

    QSize sizeHint() const override;

    // The finished picture, brought up to date first (what savePicture writes).
    QImage picture();
    // Index among line 0's screen points nearest to x (pixels from the plot's left edge), -1
    // when there is none.
    int nearestPoint(int x) const;
    // Text of a value label: fixed notation, "k" from a thousand, "M" from a million.
    static QString valueLabel(double value, int decimals);
    int pointCount() const;
    // The drawable part of the plot: false while the widget is smaller than its margins.
    bool hasRoom() const { return plotRect.width() > 0 && plotRect.height() > 0; }
    // The y of the value 0, in widget pixels.
    double baseLine() const { return base; }

public slots:
    void slotTmrIndicatorTimeout();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

public:
    int leftMargin = 60;
    int rightMargin = 20;
    int topMargin = 40;
    int bottomMargin = 40;
    QRect plotRect;
    QList<ChartLine*> lines;
    QPixmap backgroundLayer;
    QPixmap lineLayer;
    QPixmap bandLayer;
    QPixmap finalLayer;
    QTimer* indicatorTimer;
    bool dirtyAll = true;
    bool dirtyLines = true;
    bool dirtyIndicator = false;
    bool dirtyBand = false;
    QColor background = Qt::white;
    double minValue = -1.0;
    double maxValue = 1.0;
    double xStep = 0.0;
    double yScale = 0.0;
    double xLabelSpacing = 0.0;
    double yGridSpacing = 0.0;
    int xLabelCount = 0;
    int yGridAbove = 0;
    int yGridBelow = 0;
    int pointsPerXLabel = 0;
    double yGridStep = 0.0;
    int indicatorIndex = -1;
    bool indicatorVisible = false;
    bool selecting = false;
    bool zoomed = false;
    int firstIndex = 0;
    int lastIndex = -1;
    QPoint bandStart;
    QPoint bandEnd;
    QMutex mutex;
    QColor indicatorColor { 0, 100, 250 };
    QString xTitle;
    QString unitText;
    int decimals = 0;

private:
    void renderLayers();
    void fitLayersToWidget();
    void boundRange();
    bool anyPoints() const;
    void computeScale();
    void computeGrid();
    void drawBackground();
    void drawLines(QPainter& painter);
    void drawLine(QPainter& painter, ChartLine* line);
    void drawBand(QPainter& painter);
    void drawIndicator(QPainter& painter);
    QPoint clampToPlot(const QPoint& pos) const;

    double base = 0.0;
    bool gridValid = false;
    // Scratch buffers of the line pass, kept to avoid allocating on every redraw.
    QVector<QLine> joins;
    QVector<QRect> spans;
};

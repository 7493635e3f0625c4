#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVector>

#include <optional>

#include "chartgrid.h"
#include "chartline.h"
#include "chartpoint.h"
#include "chartscale.h"
#include "chartzones.h"
#include "chartzoom.h"
#include "plotmargins.h"

class CoalescingTimer;
class DmmData;
class ItemData;
class QTimer;

// The trend chart: readings as a line over arrival order, a self-scaling value axis, time labels,
// a pointer-following indicator and rubber-band zoom. It paints into three stacked layers so the
// indicator and the band are redrawn without recomputing axes and lines. New points repaint it at
// most ten times a second; a paint or a picture always shows every point appended before it.
class DMMChart : public QFrame
{
    Q_OBJECT

public:
    explicit DMMChart(QWidget* parent = nullptr);
    ~DMMChart() override;

    void appendPoint(ChartPoint* point, int line = 0);
    void appendPoints(const QList<ChartPoint*>& points, int line = 0);
    // The points of a whole item, as fromReading would make them, straight into the line's
    // storage (no point is allocated): how an item is shown.
    void appendReadings(const QList<DmmData*>& readings, int line = 0);
    // One reading's point, the same way.
    void appendReading(const DmmData* reading, int line = 0);
    // Line 0 shows the readings of item, in the full view: the line kept from when the item was
    // last shown, brought up to date with what the item stored since, or encoded afresh.
    void showItem(const ItemData* item);
    // Keeps a line of item's readings from now on while it is not shown, as they are stored,
    // so that showing it finds them encoded. Only an item without readings yet is taken up: one
    // that has some is encoded when first shown.
    void followItem(const ItemData* item);
    void clear();
    void setLeftMargin(int margin);
    void setBottomMargin(int margin);
    void setXTitle(const QString& title);
    void setUnitText(const QString& text);
    void setDecimals(int decimals);
    // Zone bands behind the line and level lines over the grid; the value axis still follows
    // the readings alone, so a level outside the shown range is not drawn.
    void setZones(const ChartZones& zones);
    bool savePicture(const QString& path);

    QSize sizeHint() const override;

    // The finished picture, brought up to date first (what savePicture writes).
    QImage picture();
    // Index among the points shown nearest to x (pixels from the plot's left edge), -1 when
    // there is none; as of the last full redraw.
    int nearestPoint(int x) const;
    // Text of a value label: fixed notation, "k" from a thousand, "M" from a million.
    static QString valueLabel(double value, int decimals);

    int pointCount() const;
    // A copy of point index of line 0; none outside the points held.
    std::optional<ChartPoint> point(int index) const;
    // The repaint that new points asked for and that waits for the end of its interval.
    CoalescingTimer* repaintTimer() const { return coalescedRepaint; }
    QString xTitle() const { return xAxisTitle; }
    QString unitText() const { return unitTitle; }
    int decimals() const { return labelDecimals; }
    ChartZones zones() const { return shownZones; }
    PlotMargins margins() const { return plotMargins; }
    // The plot area in widget pixels, derived from the widget's size and the margins.
    QRect plotRect() const;
    // The range of point indexes shown, as of the last full redraw.
    bool isZoomed() const { return zoom.isZoomed(); }
    int firstIndex() const { return zoom.firstIndex(); }
    int lastIndex() const { return zoom.lastIndex(); }

public slots:
    void slotTmrIndicatorTimeout();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void renderLayers();
    void fitLayersToWidget();
    static QImage newLayer(const QSize& size);
    bool anyPoints() const;
    bool hasRoom() const;
    void pointsAdded();
    void computeScale();
    void drawBackground();
    void drawZoneBands(QPainter& painter, const QRect& plot);
    void drawLevels(QPainter& painter, const QRect& plot);
    void drawDottedLine(QPainter& painter, const QPoint& from, const QPoint& to);
    int valueRow(double value) const;
    void drawLines();
    void drawLine(ChartLine* line);
    void drawRun(ChartLine* line, int from, int to);
    void drawMarks(QPainter& painter, ChartLine* line);
    void drawBand(QPainter& painter);
    void drawIndicator(QPainter& painter);
    QPoint clampToPlot(const QPoint& pos) const;
    void resetView();
    void lineChanged(const DmmData* appended);
    ChartLine* takeHiddenLine(const ItemData* item);
    void trimHiddenLines();
    void follow(const ItemData* item);
    void forgetItem(const QObject* item);
    void hiddenItemGrew(const ItemData* item, const DmmData* reading);

    PlotMargins plotMargins { 60, 40, 20, 40 };
    QList<ChartLine*> lines;
    // The item whose first pointCount() readings line 0 holds; none when it holds other points.
    const ItemData* lineItem = nullptr;
    // Lines of items shown before or followed, the least recently shown first, which grow with
    // their items: showing one of them again encodes only what the line missed. Cleared or
    // deleted items take theirs along.
    QList<QPair<const ItemData*, ChartLine*>> hiddenLines;
    // Images rather than pixmaps: the line pass writes its pixel columns straight into them. The
    // line layer holds the background (axes, grid, labels, titles) and the lines.
    QImage lineLayer;
    QImage bandLayer;
    QImage finalLayer;
    // One dotted grid line of each direction, copied to every grid position.
    QImage verticalDots;
    QImage horizontalDots;
    QTimer* indicatorTimer;
    CoalescingTimer* coalescedRepaint;
    bool dirtyAll = true;
    bool dirtyIndicator = false;
    bool dirtyBand = false;
    QColor background = Qt::white;
    ChartScale scale;
    ChartGrid grid;
    // Points of line 0 shown at the last full redraw, where the indicator and the band look.
    int shownAtRedraw = 0;
    int indicatorIndex = -1;
    bool indicatorVisible = false;
    bool selecting = false;
    ChartZoom zoom;
    QPoint bandStart;
    QPoint bandEnd;
    QMutex mutex;
    QColor indicatorColor { 0, 100, 250 };
    QString xAxisTitle;
    QString unitTitle;
    int labelDecimals = 0;
    ChartZones shownZones;
    // Scratch buffers of the line pass, kept to avoid allocating on every redraw.
    QVector<QLine> joins;
    QVector<QRect> spans;
    QVector<QRect> marks;
};

#pragma once

#include <QTableView>
#include <QVector>

class CoalescingTimer;

// The window's reading table. Rows arrive up to a hundred times a second; laying the view out
// and repainting it for each would cost more than everything else the window does. So the layout
// that follows new rows (scroll bars, header geometry, repaint) runs at most ten times a second,
// and the table keeps its last row in view when asked to follow it. When rows were only added at
// the end, the rows on screen are scrolled rather than painted again. Rows are painted from the
// model as they are at paint time; a table that was hidden catches up as soon as it is shown.
class ReadingTableView : public QTableView
{
    Q_OBJECT

public:
    explicit ReadingTableView(QWidget* parent = nullptr);

    // Brings the last row into view with the next layout.
    void followLastRow();
    // The layout (and scroll) waiting for the end of its interval.
    CoalescingTimer* layoutTimer() const { return coalescedLayout; }

    void doItemsLayout() override;
    void setModel(QAbstractItemModel* model) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void layOut();
    void rowsArrived(const QModelIndex& parent, int first, int last);

    CoalescingTimer* coalescedLayout;
    bool scrollPending = false;
    // Whether rows have only been added at the end since the last layout, and how many there
    // were then: such a layout scrolls and paints the new rows alone instead of the whole view.
    bool onlyAppended = false;
    int laidOutRows = 0;
    QVector<QMetaObject::Connection> modelWatch;
};

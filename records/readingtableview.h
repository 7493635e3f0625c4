#pragma once

#include <QTableView>

class CoalescingTimer;

// The window's reading table. Rows arrive up to a hundred times a second; laying the view out
// and repainting it for each would cost more than everything else the window does. So the layout
// that follows new rows (scroll bars, header geometry, repaint) runs at most ten times a second,
// and the table keeps its last row in view when asked to follow it. Rows are painted from the
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

protected:
    void showEvent(QShowEvent* event) override;

private:
    void layOut();

    CoalescingTimer* coalescedLayout;
    bool scrollPending = false;
};

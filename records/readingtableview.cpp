#include "readingtableview.h"

#include "coalescingtimer.h"

ReadingTableView::ReadingTableView(QWidget* parent)
    : QTableView(parent)
    , coalescedLayout(new CoalescingTimer([this] { layOut(); }, this))
{ }

void ReadingTableView::followLastRow()
{
    scrollPending = true;
    coalescedLayout->request();
}

void ReadingTableView::doItemsLayout()
{
    coalescedLayout->request();
}

void ReadingTableView::layOut()
{
    // Hidden, the view is laid out when it is shown again.
    if (!isVisible())
        return;
    QTableView::doItemsLayout();
    if (scrollPending) {
        scrollPending = false;
        scrollToBottom();
    }
}

void ReadingTableView::showEvent(QShowEvent* event)
{
    QTableView::showEvent(event);
    coalescedLayout->cancel();
    layOut();
}

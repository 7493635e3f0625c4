#include "readingtableview.h"

#include "coalescingtimer.h"

#include <QHeaderView>

ReadingTableView::ReadingTableView(QWidget* parent)
    : QTableView(parent)
    , coalescedLayout(new CoalescingTimer([this] { layOut(); }, this))
{ }

void ReadingTableView::followLastRow()
{
    scrollPending = true;
    doItemsLayout();
}

void ReadingTableView::doItemsLayout()
{
    coalescedLayout->request();
    // Each new row also repaints the row header: while rows stream in, it waits for the layout.
    if (coalescedLayout->isPending() && verticalHeader()->updatesEnabled())
        verticalHeader()->setUpdatesEnabled(false);
}

void ReadingTableView::layOut()
{
    if (!verticalHeader()->updatesEnabled())
        verticalHeader()->setUpdatesEnabled(true);
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

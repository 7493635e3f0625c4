#include "readingtableview.h"

#include "coalescingtimer.h"

#include <QHeaderView>

ReadingTableView::ReadingTableView(QWidget* parent)
    : QTableView(parent)
    , coalescedLayout(new CoalescingTimer([this] { layOut(); }, this))
{
    // Rows scroll by whole pixels, so that following the last row can move the rows on screen
    // instead of painting them again (by rows, the offset and the pixels moved can differ).
    setVerticalScrollMode(ScrollPerPixel);
}

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

void ReadingTableView::setModel(QAbstractItemModel* newModel)
{
    if (newModel == model())
        return;
    for (const QMetaObject::Connection& connection : qAsConst(modelWatch))
        disconnect(connection);
    modelWatch.clear();
    QTableView::setModel(newModel);
    onlyAppended = false;
    if (!newModel)
        return;
    modelWatch << connect(
        newModel, &QAbstractItemModel::rowsInserted, this, &ReadingTableView::rowsArrived);
    // Any other change of the rows or columns needs the whole view painted again.
    const auto anyChange = [this] { onlyAppended = false; };
    modelWatch << connect(newModel, &QAbstractItemModel::rowsRemoved, this, anyChange)
               << connect(newModel, &QAbstractItemModel::rowsMoved, this, anyChange)
               << connect(newModel, &QAbstractItemModel::columnsInserted, this, anyChange)
               << connect(newModel, &QAbstractItemModel::columnsRemoved, this, anyChange)
               << connect(newModel, &QAbstractItemModel::columnsMoved, this, anyChange)
               << connect(newModel, &QAbstractItemModel::layoutChanged, this, anyChange)
               << connect(newModel, &QAbstractItemModel::modelReset, this, anyChange);
}

void ReadingTableView::rowsArrived(const QModelIndex& parent, int, int last)
{
    if (parent.isValid() || last + 1 != model()->rowCount())
        onlyAppended = false;
}

void ReadingTableView::layOut()
{
    if (!verticalHeader()->updatesEnabled())
        verticalHeader()->setUpdatesEnabled(true);
    // Hidden, the view is laid out when it is shown again.
    if (!isVisible())
        return;
    const int rows = model() ? model()->rowCount() : 0;
    if (onlyAppended && rows >= laidOutRows) {
        // The rows on screen stay as they are: scrolling moves their pixels, and only the rows
        // that came since the last layout are painted.
        // The row header widens with the row numbers' digits, which moves the viewport.
        const QRect placed = viewport()->geometry();
        updateGeometries();
        if (scrollPending) {
            scrollPending = false;
            scrollToBottom();
        }
        if (viewport()->geometry() != placed)
            viewport()->update();
        else if (rows > laidOutRows) {
            const int top = qMax(0, rowViewportPosition(laidOutRows));
            if (top < viewport()->height())
                viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
        }
    } else {
        QTableView::doItemsLayout();
        if (scrollPending) {
            scrollPending = false;
            scrollToBottom();
        }
    }
    onlyAppended = true;
    laidOutRows = rows;
}

void ReadingTableView::showEvent(QShowEvent* event)
{
    QTableView::showEvent(event);
    coalescedLayout->cancel();
    // Shown again, it is painted whole.
    onlyAppended = false;
    layOut();
}

#include "widget.h"

#include "chartpoint.h"
#include "datamodel.h"
#include "dlgdownload.h"
#include "dlgsynctime.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "histogram.h"
#include "mydmm.h"
#include "readoutpanel.h"
#include "tvitemmodel.h"
#include "ui_widget.h"

#include <QTimerEvent>

namespace {

const int StoreQuietMs = 300;

// Unit codes 1, 2 and 4 ("m/S2", "cm/s", "mm") resolve to 1, 2 and 3 decimals.
int decimalsForUnitCode(int code)
{
    switch (code) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 4:
        return 3;
    default:
        return 0;
    }
}

} // namespace

void Widget::on_actionStart_triggered()
{
    if (activeItem && activeItem->type() == ItemData::StoreData)
        return;
    running = true;
    ui->actionStart->setEnabled(false);
    ui->actionStop->setEnabled(true);
}

void Widget::on_actionStop_triggered()
{
    running = false;
    updateStartStop();
}

void Widget::slotDmmDisplay(const DmmData* data)
{
    if (!running || !activeItem || activeItem->type() != ItemData::LiveMeasure) {
        delete data;
        return;
    }
    ui->lcd->showReading(data);

    const DmmData::Unit unit = data->unit();
    if (activeItem->unitText() != unit.text) {
        if (activeItem->readingCount() > 0) {
            // Readings of the old unit are kept: recording goes on in a fresh item.
            newItem(defaultItemName(), ItemData::LiveMeasure);
            running = true;
            ui->actionStart->setEnabled(false);
            ui->actionStop->setEnabled(true);
        }
        dataModel->clear();
        ui->chart->clear();
        activeItem->clearReadings();
        activeItem->setUnitText(unit.text);
        histogram->setYTitle(unit.text);
        ui->chart->setUnitText(unit.text);
        ui->chart->setDecimals(decimalsForUnitCode(unit.code));
    }

    const bool room = dmm->infinite() || activeItem->readingCount() < dmm->samplePoints();
    // A repeat is judged against this item's own last reading, so a new or emptied item always
    // stores its first one.
    const DmmData* last = activeItem->lastReading();
    const bool repeat = dmm->skipRepeat() && last && last->text(0) == data->text(0);
    if (!room || repeat) {
        delete data;
        return;
    }
    activeItem->appendReading(data);
    dataModel->appendReading(data);
    ui->tv->scrollToBottom();
    ui->chart->appendPoint(ChartPoint::fromReading(data), 0);
}

void Widget::slotStoreNum(int total, int num)
{
    emit updateDowndPos(total, num);
}

void Widget::slotDisplayStore(const DmmData* data)
{
    const QModelIndex store = storeIndex();
    ItemData* storeItem = itemDataAt(store);
    if (!storeItem) {
        delete data;
        return;
    }
    if (storeStarting) {
        storeStarting = false;
        storeItem->clearReadings();
        if (storeItem != activeItem) {
            ui->tvItems->setCurrentIndex(store);
            itemSetToActive(store);
        }
        dataModel->clear();
        ui->chart->clear();
    }
    storeItem->appendReading(data);
    if (storeItem == activeItem) {
        dataModel->appendReading(data);
        ui->tv->scrollToBottom();
    }
    if (storeTimerId != 0)
        killTimer(storeTimerId);
    storeTimerId = startTimer(StoreQuietMs, Qt::CoarseTimer);

    // The meter does not say how many records follow, so the dialog shows a running count.
    emit updateDowndPos(DlgDownload::UnknownTotal, storeItem->readingCount());
}

void Widget::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != storeTimerId || storeTimerId == 0) {
        QMainWindow::timerEvent(event);
        return;
    }
    storeStarting = true;
    killTimer(storeTimerId);
    storeTimerId = 0;

    // The quiet period ends the download: a complete step closes the progress dialog.
    const ItemData* storeItem = itemDataAt(storeIndex());
    const int count = storeItem ? storeItem->readingCount() : 0;
    emit updateDowndPos(count, count);
}

void Widget::on_actionSyncTime_triggered()
{
    auto* dialog = new dlgSyncTime(QDateTime::currentDateTime(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &dlgSyncTime::syncTime, this, &Widget::slotSyncTime);
    dialog->show();
}

void Widget::slotSyncTime(QDateTime dt)
{
    dmm->syncTime(dt);
}

void Widget::on_cbbChartUnit_currentTextChanged(QString text)
{
    Q_UNUSED(text)
    reloadActiveItem();
}

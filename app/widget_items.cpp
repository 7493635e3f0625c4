#include "widget.h"

#include "chartpoint.h"
#include "datamodel.h"
#include "dlgdownload.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "histogram.h"
#include "mydmm.h"
#include "tvitemmodel.h"
#include "ui_widget.h"

#include <QDebug>
#include <QInputDialog>
#include <QMessageBox>

ItemData* Widget::itemDataAt(const QModelIndex& index) const
{
    return index.data(ItemDataRole).value<ItemData*>();
}

QModelIndex Widget::storeIndex() const
{
    return itemModel->index(0, 0);
}

QList<QAction*> Widget::itemActions(const QModelIndex& index) const
{
    if (!index.isValid())
        return {};
    if (index.parent().isValid())
        return { ui->actionItemSetToActive, ui->actionItemRename, ui->actionItemNew,
            ui->actionItemDelete };
    if (index.row() == 0)
        return { ui->actionItemSetToActive };
    if (index.row() == 1)
        return { ui->actionItemNew };
    return {};
}

void Widget::updateStartStop()
{
    // Start would do nothing for the store item, so it is never offered there.
    const bool storeActive = activeItem && activeItem->type() == ItemData::StoreData;
    ui->actionStart->setEnabled(dmm->isOpened() && !storeActive);
    ui->actionStop->setEnabled(false);
}

void Widget::clearViews()
{
    dataModel->clear();
    histogram->clearValues();
    ui->chart->clear();
}

QString Widget::defaultItemName() const
{
    int count = 0;
    for (int row = 0; row < itemModel->rowCount(); ++row) {
        const QModelIndex group = itemModel->index(row, 0);
        const ItemData* groupData = itemDataAt(group);
        if (groupData && groupData->name().startsWith(QLatin1String("Measure")))
            ++count;
        for (int child = 0; child < itemModel->rowCount(group); ++child) {
            const ItemData* data = itemDataAt(itemModel->index(child, 0, group));
            if (data && data->name().startsWith(QLatin1String("Measure")))
                ++count;
        }
    }
    return QStringLiteral("%1%2").arg(QStringLiteral("Measure")).arg(count + 1);
}

void Widget::itemSetToActive(QModelIndex index)
{
    if (!index.isValid() || itemModel->itemFromIndex(index) == liveDataItem)
        return;
    ItemData* item = itemDataAt(index);
    if (!item || item == activeItem || item->type() == ItemData::LiveGroup)
        return;

    activeItem = item;
    for (int row = 0; row < itemModel->rowCount(); ++row) {
        QStandardItem* group = itemModel->item(row);
        group->setData(false, ActiveRole);
        for (int child = 0; child < group->rowCount(); ++child)
            group->child(child)->setData(false, ActiveRole);
    }
    itemModel->itemFromIndex(index)->setData(true, ActiveRole);

    running = false;
    updateStartStop();
    reloadActiveItem();
}

void Widget::reloadActiveItem()
{
    if (!activeItem)
        return;
    const QList<DmmData*> readings = activeItem->readings();
    QList<ChartPoint*> points;
    points.reserve(readings.size());
    for (const DmmData* reading : readings)
        points << ChartPoint::fromReading(reading);

    dataModel->clear();
    dataModel->setReadings(readings);
    ui->tv->scrollToBottom();

    int decimals = 1;
    if (!readings.isEmpty()) {
        const QString detection = readings.first()->detection().toLower();
        if (detection.contains(QLatin1String("ap")))
            decimals = 1;
        else if (detection.contains(QLatin1String("vrms")))
            decimals = 2;
        else if (detection.contains(QLatin1String("dp")))
            decimals = 3;
    }
    ui->chart->clear();
    ui->chart->setDecimals(decimals);
    ui->chart->appendPoints(points, 0);
}

void Widget::newItem(QString name, ItemData::DataType type)
{
    if (name.isEmpty())
        return;
    running = false;
    updateStartStop();

    auto* row = new QStandardItem(itemIcon, name);
    row->setData(QVariant::fromValue(new ItemData(name, type)), ItemDataRole);
    liveDataItem->appendRow(row);

    const QModelIndex index = row->index();
    itemSetToActive(index);
    ui->tvItems->setCurrentIndex(index);
    slotCurrentRowChanged(index, QModelIndex());
}

void Widget::on_actionItemNew_triggered()
{
    const QString name = QInputDialog::getText(
        this, QString(), QStringLiteral("Name:"), QLineEdit::Normal, defaultItemName())
                             .trimmed();
    if (name.isEmpty())
        return;
    newItem(name, ItemData::LiveMeasure);
    ui->chart->setDecimals(1);
}

void Widget::on_actionItemDelete_triggered()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    if (!index.isValid() || !index.parent().isValid())
        return;
    if (QMessageBox::question(this, QString(), tr("Are you sure delete this item?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;

    clearViews();
    ItemData* item = itemDataAt(index);
    const bool wasActive = item == activeItem;
    // Forget the active item first: the next live reading must never reach a deleted item.
    if (wasActive) {
        activeItem = nullptr;
        running = false;
        updateStartStop();
    }
    itemModel->removeRow(index.row(), index.parent());
    delete item;

    if (wasActive)
        itemSetToActive(ui->tvItems->currentIndex());
    else
        reloadActiveItem();
}

void Widget::on_actionItemRename_triggered()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    if (!index.isValid() || !index.parent().isValid())
        return;
    const QString name = QInputDialog::getText(this, QString(), QStringLiteral("New name:"),
        QLineEdit::Normal, index.data(Qt::DisplayRole).toString())
                             .trimmed();
    if (name.isEmpty())
        return;
    if (ItemData* item = itemDataAt(index))
        item->setName(name);
    ui->tvItems->viewport()->update();
    running = false;
    updateStartStop();
}

void Widget::on_actionItemSetToActive_triggered()
{
    itemSetToActive(ui->tvItems->currentIndex());
}

void Widget::on_tvItems_activated(QModelIndex index)
{
    itemSetToActive(index);
}

void Widget::slotItemModeleditDataChanged(QModelIndex index)
{
    if (index.row() != 0)
        qDebug() << "slotItemModeleditDataChanged  " + index.data(Qt::DisplayRole).toString();
}

void Widget::slotCurrentRowChanged(QModelIndex current, QModelIndex previous)
{
    Q_UNUSED(previous)
    if (!current.isValid())
        return;
    ui->itemToolBar->clear();
    ui->itemToolBar->addActions(itemActions(current));
}

void Widget::on_actionItemDownload_triggered()
{
    if (!dmm->isOpened())
        return;
    clearViews();
    const QModelIndex store = storeIndex();
    if (ItemData* storeItem = itemDataAt(store))
        storeItem->clearReadings();
    itemSetToActive(store);
    ui->tvItems->setCurrentIndex(store);

    dmm->downloadStore();

    auto* dialog = new DlgDownload(this);
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &Widget::updateDowndPos, dialog, &DlgDownload::updatePos);
    downloadDialog = dialog;
    // The meter never announces how many records follow: start the dialog's watchdog now, so
    // that a meter that sends nothing at all still lets the dialog close.
    emit updateDowndPos(DlgDownload::UnknownTotal, 0);
    if (downloadDialog)
        dialog->exec();
}

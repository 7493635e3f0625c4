#pragma once

#include "dmmdata.h"
#include "itemdata.h"
#include "tvitemmodel.h"
#include "widget.h"

#include <QAction>
#include <QTableView>
#include <QTreeView>

// Reading the real window from outside, by object names and the item tree's roles.
namespace WidgetProbe {

inline QAction* action(Widget& w, const char* name)
{
    return w.findChild<QAction*>(QLatin1String(name));
}

// "Connect Disconnect Start Stop SyncTime" as 1/0, for comparing enabling states at a glance.
inline QString states(Widget& w)
{
    QString s;
    for (const char* name :
        { "actionConnect", "actionDisconnect", "actionStart", "actionStop", "actionSyncTime" })
        s += action(w, name)->isEnabled() ? '1' : '0';
    return s;
}

inline QTreeView* tree(Widget& w)
{
    return w.findChild<QTreeView*>(QStringLiteral("tvItems"));
}

inline QAbstractItemModel* treeModel(Widget& w)
{
    return tree(w)->model();
}

inline QModelIndex storeRow(Widget& w)
{
    return treeModel(w)->index(0, 0);
}

inline QModelIndex liveRow(Widget& w, int row)
{
    QAbstractItemModel* m = treeModel(w);
    return m->index(row, 0, m->index(1, 0));
}

inline ItemData* itemData(const QModelIndex& index)
{
    return index.data(ItemDataRole).value<ItemData*>();
}

inline QStringList liveNames(Widget& w)
{
    QStringList names;
    QAbstractItemModel* m = treeModel(w);
    const QModelIndex group = m->index(1, 0);
    for (int row = 0; row < m->rowCount(group); ++row)
        names << m->index(row, 0, group).data().toString();
    return names;
}

// Display names of every row marked active ("" when none is).
inline QString activeName(Widget& w)
{
    QStringList marked;
    QAbstractItemModel* m = treeModel(w);
    for (int row = 0; row < m->rowCount(); ++row) {
        const QModelIndex group = m->index(row, 0);
        if (group.data(ActiveRole).toBool())
            marked << group.data().toString();
        for (int child = 0; child < m->rowCount(group); ++child) {
            if (m->index(child, 0, group).data(ActiveRole).toBool())
                marked << m->index(child, 0, group).data().toString();
        }
    }
    return marked.join(',');
}

inline QAbstractItemModel* table(Widget& w)
{
    return w.findChild<QTableView*>(QStringLiteral("tv"))->model();
}

inline QStringList tableColumn(Widget& w, int column)
{
    QStringList cells;
    QAbstractItemModel* m = table(w);
    for (int row = 0; row < m->rowCount(); ++row)
        cells << m->index(row, column).data().toString();
    return cells;
}

inline DmmData* reading(const QString& text, int unitCode, const QString& unitText,
    const QString& detection = QStringLiteral("Vrms"))
{
    auto* d = new DmmData;
    d->setDateTime(QDateTime::currentDateTime());
    d->addText(text);
    d->addValue(text.trimmed().toDouble());
    d->setUnit(unitCode, unitText);
    d->setDetection(detection);
    d->setBand(QStringLiteral("10-1kHz"));
    d->setBattery(2);
    return d;
}

inline DmmData* storedReading(int index, const QString& text)
{
    DmmData* d = reading(text, 2, QStringLiteral("cm/s"));
    d->setFromStore(true);
    d->setStoreIndex(index);
    return d;
}

// The link's signals as the window receives them, for readings the simulator cannot send.
inline void deliverLive(Widget& w, const DmmData* d)
{
    QMetaObject::invokeMethod(&w, "slotDmmDisplay", Qt::DirectConnection, Q_ARG(const DmmData*, d));
}

inline void deliverStored(Widget& w, const DmmData* d)
{
    QMetaObject::invokeMethod(
        &w, "slotDisplayStore", Qt::DirectConnection, Q_ARG(const DmmData*, d));
}

} // namespace WidgetProbe

#include "readingdelegate.h"

#include "datamodel.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "severityzones.h"
#include "zonecolors.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace {
constexpr int NumberColumn = 0;
constexpr int TimeColumn = 1;
constexpr int ValueColumn = 3;

SeverityZones::MachineClass classOf(const DataModel* model)
{
    const ItemData* item = model->shownItem();
    return item ? item->properties().machineClass : SeverityZones::NoClass;
}
}

ReadingDelegate::ReadingDelegate(const DataModel* model, QObject* parent)
    : QStyledItemDelegate(parent)
    , model(model)
{ }

QString ReadingDelegate::toolTip(const QModelIndex& index) const
{
    const DmmData* reading = index.isValid() ? model->reading(index.row()) : nullptr;
    if (!reading)
        return QString();
    const SeverityZones::MachineClass machineClass = classOf(model);
    if (index.column() == ValueColumn && machineClass != SeverityZones::NoClass) {
        const SeverityZones::Grade g = SeverityZones::grade(*reading, machineClass);
        if (g.zone == SeverityZones::NotGraded)
            return g.reason;
        const SeverityZones::Limits l = SeverityZones::limits(machineClass);
        return tr("Zone %1 (%2 mm/s): %3. %4, limits A/B %5, B/C %6, C/D %7 mm/s RMS")
            .arg(SeverityZones::zoneLetter(g.zone))
            .arg(g.velocity, 0, 'f', 2)
            .arg(SeverityZones::zoneMeaning(g.zone), SeverityZones::appliedName(machineClass))
            .arg(l.ab)
            .arg(l.bc)
            .arg(l.cd);
    }
    if (!reading->fromStore())
        return QString();
    if (index.column() == TimeColumn)
        return tr("Time of the download: the meter keeps no time with the readings in its memory");
    if (index.column() == NumberColumn)
        return tr("Record number in the meter's memory");
    return QString();
}

bool ReadingDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = toolTip(index);
    if (text.isEmpty()) {
        QToolTip::hideText();
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QToolTip::showText(event->globalPos(), text, view, option.rect);
    return true;
}

void ReadingDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const SeverityZones::MachineClass machineClass = classOf(model);
    if (machineClass == SeverityZones::NoClass)
        return;
    if (const DmmData* reading = model->reading(index.row())) {
        const SeverityZones::Zone zone = SeverityZones::grade(*reading, machineClass).zone;
        if (zone != SeverityZones::NotGraded)
            option->backgroundBrush = ZoneColors::tint(zone);
    }
}

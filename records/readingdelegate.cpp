#include "readingdelegate.h"

#include "datamodel.h"
#include "dmmdata.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace {
constexpr int NumberColumn = 0;
constexpr int TimeColumn = 1;
}

ReadingDelegate::ReadingDelegate(const DataModel* model, QObject* parent)
    : QStyledItemDelegate(parent)
    , model(model)
{ }

QString ReadingDelegate::toolTip(const QModelIndex& index) const
{
    const DmmData* reading = index.isValid() ? model->reading(index.row()) : nullptr;
    if (!reading || !reading->fromStore())
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

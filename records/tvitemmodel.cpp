#include "tvitemmodel.h"

#include "itemdata.h"

#include <QColor>
#include <QFont>

TvItemModel::TvItemModel(QObject* parent)
    : QStandardItemModel(parent)
{ }

QVariant TvItemModel::data(const QModelIndex& index, int role) const
{
    switch (role) {
    case Qt::DisplayRole: {
        // Renaming an item changes only its ItemData; reading the name here keeps the tree current.
        const ItemData* item = QStandardItemModel::data(index, ItemDataRole).value<ItemData*>();
        return item ? item->name() : QString();
    }
    case Qt::FontRole: {
        QFont font = QStandardItemModel::data(index, role).value<QFont>();
        font.setWeight(QStandardItemModel::data(index, ActiveRole).toBool() ? 75 : 50);
        return font;
    }
    case Qt::ForegroundRole:
        if (QStandardItemModel::data(index, ActiveRole).toBool())
            return QColor(QStringLiteral("#d57d00"));
        break;
    }
    return QStandardItemModel::data(index, role);
}

bool TvItemModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const bool same = value == data(index, Qt::DisplayRole);
    const bool result = QStandardItemModel::setData(index, value, role);
    if (role == Qt::EditRole && !same)
        emit editDataChanged(index);
    return result;
}

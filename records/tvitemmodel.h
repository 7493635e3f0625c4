#pragma once

#include <QStandardItemModel>

// Roles of the item tree: the active mark and the row's ItemData*.
enum ItemTreeRole {
    ActiveRole = Qt::UserRole + 1,
    ItemDataRole = Qt::UserRole + 2,
};

// The item tree: names come from each row's ItemData, the active row is bold orange.
class TvItemModel : public QStandardItemModel
{
    Q_OBJECT

public:
    static constexpr int ActiveRole = ::ActiveRole;
    static constexpr int ItemDataRole = ::ItemDataRole;

    explicit TvItemModel(QObject* parent = nullptr);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void editDataChanged(QModelIndex index);
};

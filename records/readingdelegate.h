#pragma once

#include <QStyledItemDelegate>

class DataModel;

// Draws the reading table's cells and explains them in tool tips, without adding roles to the
// table model: rows are tinted by the severity zone of their reading when the shown item has a
// machine class, and a reading from the meter's memory carries the time of the download, since
// the meter keeps no time with its records.
class ReadingDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ReadingDelegate(const DataModel* model, QObject* parent = nullptr);

    // The tool tip of a cell; empty when the cell needs none.
    QString toolTip(const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    const DataModel* model;
};

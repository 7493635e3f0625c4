#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QVector>

// A reading table as the window's table model delivers it: the number column as an integer, every
// other column as text. Rows are made up on the fly, or given explicitly.
class TableModel : public QAbstractTableModel
{
public:
    explicit TableModel(int generatedRows = 0)
        : generated(generatedRows)
    { }
    explicit TableModel(const QVector<QVariantList>& rows)
        : explicitRows(rows)
        , generated(-1)
    { }

    int rowCount(const QModelIndex& = QModelIndex()) const override
    {
        return generated >= 0 ? generated : explicitRows.size();
    }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return 6; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || role != Qt::DisplayRole)
            return QVariant();
        if (generated < 0)
            return explicitRows.at(index.row()).value(index.column());
        const int r = index.row();
        switch (index.column()) {
        case 0:
            return r + 1;
        case 1:
            return QDateTime(QDate(2026, 12, 7), QTime(8, 0), Qt::UTC)
                .addSecs(r)
                .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        case 2:
            return QStringLiteral("Vrms");
        case 3:
            return QString::number(r % 1000 / 10.0, 'f', 1);
        case 4:
            return QStringLiteral("mm");
        case 5:
            return QStringLiteral("10-1kHz");
        }
        return QVariant();
    }

    static QDateTime generatedTime(int row)
    {
        return QDateTime(QDate(2026, 12, 7), QTime(8, 0), Qt::UTC).addSecs(row);
    }

private:
    QVector<QVariantList> explicitRows;
    int generated;
};

#pragma once

#include "readingstatistics.h"

#include <QStringList>
#include <QVector>
#include <QWidget>

class QGridLayout;
class QLabel;

// The figures of the shown item, and of the chart's zoomed range while it is zoomed: count,
// minimum, maximum, mean, RMS, standard deviation, first and last time, duration, readings per
// zone and above each level, and the readings counted apart.
class StatisticsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit StatisticsPanel(QWidget* parent = nullptr);

    // range is null when the chart shows every reading. decimals: those of the item's values.
    void setFigures(const StatisticsFigures& whole, const StatisticsFigures* range,
        const QString& unit, int decimals, bool graded, bool levels);

    // What one column shows, row by row (for tests and copying).
    QStringList column(int which) const;

private:
    QStringList texts(const StatisticsFigures& f, const QString& unit, int decimals) const;

    QGridLayout* grid;
    QLabel* rangeTitle;
    QVector<QLabel*> names;
    QVector<QLabel*> wholeValues;
    QVector<QLabel*> rangeValues;
};

#include "statisticspanel.h"

#include <QDateTime>
#include <QGridLayout>
#include <QLabel>

namespace {

enum Row {
    Count,
    Minimum,
    Maximum,
    Mean,
    Rms,
    Deviation,
    First,
    Last,
    Duration,
    ZoneA,
    ZoneB,
    ZoneC,
    ZoneD,
    AboveAlert,
    AboveDanger,
    OverRange,
    NoReading,
    RowCount
};

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

QString durationText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace

StatisticsPanel::StatisticsPanel(QWidget* parent)
    : QWidget(parent)
    , grid(new QGridLayout(this))
    , rangeTitle(new QLabel(tr("Zoomed range"), this))
{
    setObjectName(QStringLiteral("statisticsPanel"));
    const QString rowNames[RowCount] = { tr("Readings"), tr("Minimum"), tr("Maximum"), tr("Mean"),
        tr("RMS"), tr("Standard deviation"), tr("First"), tr("Last"), tr("Duration"), tr("Zone A"),
        tr("Zone B"), tr("Zone C"), tr("Zone D"), tr("Above alert level"), tr("Above danger level"),
        tr("Over range"), tr("No reading") };
    auto* itemTitle = new QLabel(tr("Item"), this);
    QFont bold = itemTitle->font();
    bold.setBold(true);
    itemTitle->setFont(bold);
    rangeTitle->setFont(bold);
    grid->addWidget(itemTitle, 0, 1);
    grid->addWidget(rangeTitle, 0, 2);
    for (int row = 0; row < RowCount; ++row) {
        names << new QLabel(rowNames[row], this);
        wholeValues << new QLabel(this);
        rangeValues << new QLabel(this);
        grid->addWidget(names.last(), row + 1, 0);
        grid->addWidget(wholeValues.last(), row + 1, 1, Qt::AlignRight);
        grid->addWidget(rangeValues.last(), row + 1, 2, Qt::AlignRight);
        wholeValues.last()->setTextInteractionFlags(Qt::TextSelectableByMouse);
        rangeValues.last()->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    grid->setRowStretch(RowCount + 1, 1);
    setFigures(StatisticsFigures(), nullptr, QString(), 2, false, false);
}

QStringList StatisticsPanel::texts(
    const StatisticsFigures& f, const QString& unit, int decimals) const
{
    QStringList t;
    for (int row = 0; row < RowCount; ++row)
        t << QString();
    const auto value = [&](double v) {
        return QStringLiteral("%1 %2").arg(QString::number(v, 'f', decimals), unit).trimmed();
    };
    t[Count] = QString::number(f.count);
    if (f.count > 0) {
        t[Minimum] = value(f.minimum);
        t[Maximum] = value(f.maximum);
        t[Mean] = value(f.mean);
        t[Rms] = value(f.rms);
        t[Deviation] = value(f.standardDeviation);
    }
    if (f.readings > 0) {
        t[First] = timeText(f.firstMs);
        t[Last] = timeText(f.lastMs);
        t[Duration] = durationText(f.durationMs());
    }
    for (int z = SeverityZones::A; z <= SeverityZones::D; ++z)
        t[ZoneA + z - SeverityZones::A] = QString::number(f.perZone[size_t(z)]);
    t[AboveAlert] = QString::number(f.aboveAlert);
    t[AboveDanger] = QString::number(f.aboveDanger);
    t[OverRange] = QString::number(f.overRange);
    t[NoReading] = QString::number(f.noReading);
    return t;
}

void StatisticsPanel::setFigures(const StatisticsFigures& whole, const StatisticsFigures* range,
    const QString& unit, int decimals, bool graded, bool levels)
{
    const QStringList w = texts(whole, unit, decimals);
    const QStringList r = range ? texts(*range, unit, decimals) : QStringList();
    rangeTitle->setVisible(range);
    for (int row = 0; row < RowCount; ++row) {
        const bool zoneRow = row >= ZoneA && row <= ZoneD;
        const bool levelRow = row == AboveAlert || row == AboveDanger;
        const bool shown = (!zoneRow || graded) && (!levelRow || levels);
        names[row]->setVisible(shown);
        wholeValues[row]->setVisible(shown);
        rangeValues[row]->setVisible(shown && range);
        if (wholeValues[row]->text() != w[row])
            wholeValues[row]->setText(w[row]);
        if (range && rangeValues[row]->text() != r[row])
            rangeValues[row]->setText(r[row]);
    }
}

QStringList StatisticsPanel::column(int which) const
{
    QStringList shown;
    const QVector<QLabel*>& labels = which == 0 ? names : which == 1 ? wholeValues : rangeValues;
    for (int row = 0; row < RowCount; ++row) {
        if (!names[row]->isHidden())
            shown << labels[row]->text();
    }
    return shown;
}

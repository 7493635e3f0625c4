#pragma once

#include "alarmmonitor.h"
#include "readingstatistics.h"
#include "severityzones.h"

#include <QHash>
#include <QObject>

#include <memory>

class DmmData;
class ItemData;

// Machine condition per item: the statistics of its readings (kept as readings are stored, built
// anew when an item was filled in bulk), the grading by its machine class, and its alarm levels
// watched over the live readings.
class ConditionMonitor : public QObject
{
    Q_OBJECT

public:
    explicit ConditionMonitor(QObject* parent = nullptr);
    ~ConditionMonitor() override;

    void watch(ItemData* item);
    void forget(ItemData* item);

    StatisticsFigures figures(ItemData* item);
    // Readings first..last of the item, inclusive.
    StatisticsFigures rangeFigures(ItemData* item, int first, int last);
    static SeverityZones::Grade grade(const ItemData* item, const DmmData& reading);
    bool isAbove(const ItemData* item, AlarmMonitor::Level level) const;

    // A reading just stored into an item (the recorder's readingStored).
    void readingStored(ItemData* item, const DmmData* reading);
    // A live reading of the active item, stored or not (what the readout shows): the alarms
    // follow it.
    void liveReading(ItemData* item, const DmmData* reading);

signals:
    void alarmCrossed(ItemData* item, const AlarmMonitor::Crossing& crossing);
    // The item's grading or levels changed: its views need drawing anew.
    void conditionChanged(ItemData* item);

private:
    struct Watched
    {
        ReadingStatistics statistics;
        AlarmMonitor alarms;
    };

    Watched* find(const ItemData* item) const;
    void applyProperties(ItemData* item);
    ReadingStatistics& current(ItemData* item);

    QHash<const ItemData*, std::shared_ptr<Watched>> watched;
};

#include "conditionmonitor.h"

#include "dmmdata.h"
#include "itemdata.h"

ConditionMonitor::ConditionMonitor(QObject* parent)
    : QObject(parent)
{ }

ConditionMonitor::~ConditionMonitor() = default;

void ConditionMonitor::watch(ItemData* item)
{
    if (!item || watched.contains(item))
        return;
    watched.insert(item, std::make_shared<Watched>());
    applyProperties(item);
    connect(item, &ItemData::readingsAboutToBeCleared, this, [this, item] {
        if (Watched* w = find(item)) {
            w->statistics.clear();
            w->alarms.reset();
        }
    });
    connect(item, &ItemData::propertiesChanged, this, [this, item] {
        applyProperties(item);
        emit conditionChanged(item);
    });
    connect(item, &QObject::destroyed, this, [this, item] { watched.remove(item); });
}

void ConditionMonitor::forget(ItemData* item)
{
    if (watched.remove(item) > 0)
        disconnect(item, nullptr, this, nullptr);
}

ConditionMonitor::Watched* ConditionMonitor::find(const ItemData* item) const
{
    const auto it = watched.constFind(item);
    return it == watched.cend() ? nullptr : it->get();
}

void ConditionMonitor::applyProperties(ItemData* item)
{
    Watched* w = find(item);
    if (!w)
        return;
    const ItemProperties p = item->properties();
    w->statistics.setGrading(p.machineClass, p.alertLevel, p.dangerLevel);
    // The zone and level counts depend on the properties: rebuilt when next asked for.
    w->statistics.clear();
    w->alarms.setLevels(p.alertLevel, p.dangerLevel);
}

ReadingStatistics& ConditionMonitor::current(ItemData* item)
{
    ReadingStatistics& stats = find(item)->statistics;
    // An item filled in bulk (a restored session, an import, a reload) is counted in one pass.
    if (stats.size() != item->readingCount()) {
        const QList<DmmData*> readings = item->readings();
        stats.rebuild(readings.size(), [&readings](int i) { return readings.at(i); });
    }
    return stats;
}

StatisticsFigures ConditionMonitor::figures(ItemData* item)
{
    if (!find(item))
        return StatisticsFigures();
    return current(item).whole();
}

StatisticsFigures ConditionMonitor::rangeFigures(ItemData* item, int first, int last)
{
    if (!find(item))
        return StatisticsFigures();
    ReadingStatistics& stats = current(item);
    const QList<DmmData*> readings = item->readings();
    return stats.range(first, last, [&readings](int i) { return readings.at(i); });
}

SeverityZones::Grade ConditionMonitor::grade(const ItemData* item, const DmmData& reading)
{
    return SeverityZones::grade(
        reading, item ? item->properties().machineClass : SeverityZones::NoClass);
}

bool ConditionMonitor::isAbove(const ItemData* item, AlarmMonitor::Level level) const
{
    const Watched* w = find(item);
    return w && w->alarms.isAbove(level);
}

void ConditionMonitor::readingStored(ItemData* item, const DmmData* reading)
{
    Watched* w = find(item);
    if (!w || !reading)
        return;
    // Kept up to date one reading at a time while it is in step; otherwise counted again later.
    if (w->statistics.size() == item->readingCount() - 1)
        w->statistics.add(*reading);
}

void ConditionMonitor::liveReading(ItemData* item, const DmmData* reading)
{
    Watched* w = find(item);
    if (!w || !reading)
        return;
    for (const AlarmMonitor::Crossing& c : w->alarms.feed(reading->state(), reading->value(0)))
        emit alarmCrossed(item, c);
}

#include "recorder.h"

#include "dmmdata.h"
#include "itemdata.h"

#include <QTimerEvent>

Recorder::Recorder(QObject* parent)
    : QObject(parent)
{ }

Recorder::Outcome Recorder::recordLive(const DmmData* reading)
{
    std::unique_ptr<DmmData> owned = DmmData::adopt(reading);
    if (!owned)
        return Outcome::NoLiveItem;
    if (!running)
        return Outcome::NotSampling;
    if (!active || active->type() != ItemData::LiveMeasure)
        return Outcome::NoLiveItem;

    emit liveReading(owned.get());
    ++readingsSinceUnitChange;

    const DmmData::Unit unit = owned->unit();
    if (active->unitText() != unit.text) {
        // A first unit for a new item is no change of the meter's unit.
        if (!active->unitText().isEmpty())
            countUnitChange();
        if (active->readingCount() > 0)
            emit unitChanging(active);
        active->clearReadings();
        active->setUnitText(unit.text);
        emit unitChanged(active, unit.code, unit.text);
    }

    const bool room = limits.infinite || active->readingCount() < limits.samplePoints;
    if (!room) {
        if (fullSaid != active) {
            fullSaid = active;
            emit itemFull(active, limits.samplePoints);
        }
        return Outcome::Full;
    }
    // A repeat is judged against this item's own last reading, so a new or emptied item always
    // stores its first one.
    const DmmData* last = active->lastReading();
    if (limits.skipRepeat && last && last->text(0) == owned->text(0))
        return Outcome::Repeat;

    DmmData* stored = owned.release();
    fullSaid = nullptr;
    active->appendReading(stored);
    emit readingStored(active, stored);
    return Outcome::Stored;
}

void Recorder::countUnitChange()
{
    // The reading that brought the change is counted already.
    unitChanges = readingsSinceUnitChange <= UnsteadyReadings + 1 ? unitChanges + 1 : 1;
    readingsSinceUnitChange = 1;
    if (unitChanges == UnitChangesReported)
        emit unitKeepsChanging(unitChanges);
}

void Recorder::beginDownload()
{
    endDownload();
    freshDownload = true;
    sinceBegin = 0;
}

void Recorder::recordStored(const DmmData* reading)
{
    std::unique_ptr<DmmData> owned = DmmData::adopt(reading);
    if (!owned || !store)
        return;
    ++sinceBegin;
    if (storeStarting) {
        storeStarting = false;
        // A meter that paused in the middle of its memory goes on with the next record number:
        // that is the same download, and what came before the pause stays.
        const DmmData* last = store->lastReading();
        const bool continues
            = !freshDownload && last && owned->storeIndex() == last->storeIndex() + 1;
        freshDownload = false;
        if (continues) {
            emit downloadResumed(store);
        } else {
            store->clearReadings();
            emit downloadStarted(store);
        }
    }
    DmmData* stored = owned.release();
    store->appendReading(stored);
    emit readingStored(store, stored);

    downloadQuiet.start(DownloadQuietMs, Qt::CoarseTimer, this);
    emit downloadProgress(store->readingCount());
}

void Recorder::endDownload()
{
    downloadQuiet.stop();
    if (storeStarting)
        return;
    storeStarting = true;
    emit downloadEnded(store ? store->readingCount() : 0);
}

void Recorder::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == downloadQuiet.timerId())
        endDownload();
    else
        QObject::timerEvent(event);
}

int Recorder::decimalsForUnitCode(int code)
{
    switch (code) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 4:
        return 3;
    default:
        return 0;
    }
}

int Recorder::decimalsForItem(const ItemData* item)
{
    if (!item || item->readingCount() == 0)
        return 1;
    const QString detection = item->readingAt(0)->detection().toLower();
    if (detection.contains(QLatin1String("ap")))
        return 1;
    if (detection.contains(QLatin1String("vrms")))
        return 2;
    if (detection.contains(QLatin1String("dp")))
        return 3;
    return 1;
}

#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QString>

class DmmData;
class ItemData;

// The rules of the live and stored data flow: which live reading is stored into the active item
// (sampling on, a live item, room left, no repeat), what a change of unit does, and how the
// readings of a download fill "Store Data". It takes over every reading it is given and tells
// what it stored; the table model, the chart and the window follow its signals.
class Recorder : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Stored, NotSampling, NoLiveItem, Full, Repeat };
    Q_ENUM(Outcome)

    // The link's settings that decide what is kept.
    struct Limits
    {
        int samplePoints = 1000;
        bool infinite = true;
        bool skipRepeat = false;
    };

    // Readings of a download that follow each other closer than this belong to one download.
    static constexpr int DownloadQuietMs = 300;
    // This many unit changes in a row, each after at most UnsteadyReadings readings, make a meter
    // whose unit keeps changing.
    static constexpr int UnitChangesReported = 10;
    static constexpr int UnsteadyReadings = 2;

    explicit Recorder(QObject* parent = nullptr);

    void setLimits(const Limits& limits) { this->limits = limits; }
    Limits currentLimits() const { return limits; }

    // Live sampling into the active item (Start / Stop).
    void setRunning(bool on) { running = on; }
    bool isRunning() const { return running; }

    void setActiveItem(ItemData* item)
    {
        active = item;
        fullSaid = nullptr;
    }
    ItemData* activeItem() const { return active; }
    void setStoreItem(ItemData* item) { store = item; }
    ItemData* storeItem() const { return store; }

    // Each takes over the reading: it is stored into an item or deleted before returning.
    Outcome recordLive(const DmmData* reading);
    void recordStored(const DmmData* reading);
    // The user asked the meter for its memory: its first reading starts a new download, whatever
    // its record number. "Store Data" keeps what it holds until then.
    void beginDownload();
    // The quiet period after the last stored reading: the download is complete. Called by the
    // recorder's own timer; public so that the end of a download can be driven directly.
    void endDownload();
    bool isDownloading() const { return !storeStarting; }
    // Stored readings received since the last beginDownload().
    int receivedSinceBegin() const { return sinceBegin; }

    // Decimals of the chart's value labels: by the unit code of a live reading (1, 2, 4 give 1, 2,
    // 3; others 0), and for a whole item by its first reading's detection.
    static int decimalsForUnitCode(int code);
    static int decimalsForItem(const ItemData* item);

signals:
    // A live reading taken while sampling into a live item, stored or not: the readout shows it.
    void liveReading(const DmmData* reading);
    // The active item holds readings of another unit than the one just arrived. A receiver may
    // make another item active here, so that recording goes on there and these readings stay;
    // otherwise the item is emptied.
    void unitChanging(ItemData* item);
    // The active item now records this unit (it is empty at this moment).
    void unitChanged(ItemData* item, int unitCode, const QString& unitText);
    void readingStored(ItemData* item, const DmmData* reading);
    // The active item reached its limit while sampling: said once, until it stores again or
    // another item becomes active.
    void itemFull(ItemData* item, int limit);
    // The first reading of a download arrived: "Store Data" was emptied for it.
    void downloadStarted(ItemData* store);
    // A download that had fallen quiet goes on (its next record number came): the readings are
    // added to those "Store Data" holds.
    void downloadResumed(ItemData* store);
    void downloadProgress(int received);
    void downloadEnded(int received);
    // The unit changed this many times in a row after only a reading or two each: every change
    // starts a new item. Said once per such run.
    void unitKeepsChanging(int changes);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void countUnitChange();

    Limits limits;
    bool running = false;
    ItemData* active = nullptr;
    ItemData* store = nullptr;
    const ItemData* fullSaid = nullptr;
    bool storeStarting = true;
    // The next stored reading starts a download even if its number follows the last one held.
    bool freshDownload = false;
    int sinceBegin = 0;
    QBasicTimer downloadQuiet;
    int unitChanges = 0;
    int readingsSinceUnitChange = 0;
};

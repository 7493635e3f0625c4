#pragma once

#include <QJsonObject>
#include <QString>

// A measurement item as a session stores it, without its readings. The properties hold what
// an item may carry beyond its name and unit (a JSON object), so that new kinds of item data need
// no new file format.
struct ItemRecord
{
    // Item types as the item tree knows them: a live measurement, or the meter's memory.
    enum Type { LiveMeasure = 1, StoreData = 3 };

    qint64 id = 0; // in the file; 0 before it is written
    QString name;
    int type = LiveMeasure;
    QString unit;
    QJsonObject properties;
    // Its readings were exported or saved since they last changed.
    bool saved = false;
    int readingCount = 0; // as read from a file
};

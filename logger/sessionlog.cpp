#include "sessionlog.h"

#include "dmmdata.h"
#include "itemrecord.h"
#include "readingrecord.h"

#include <QFileInfo>

bool SessionLog::open(const QString& fileName, const QString& itemName, const QDateTime& started)
{
    name = itemName;
    start = started;
    session = 0;
    item = 0;
    unit.clear();
    gathered.clear();
    unsaved = 0;
    if (QFileInfo(fileName).isDir()) {
        error = QStringLiteral("it is a folder");
        return false;
    }
    return (writer.open(fileName, SessionWriter::Mode::File) && writer.begin()) || fail();
}

bool SessionLog::fail()
{
    error = writer.errorString();
    return false;
}

bool SessionLog::append(const DmmData& reading)
{
    if (!writer.isOpen())
        return false;
    // The session and its item are written with the first reading: a run that got none leaves
    // the file as it was.
    if (session == 0) {
        session = writer.beginSession(start, QLatin1String(Program));
        if (session == 0)
            return fail();
        ItemRecord record;
        record.name = name;
        record.type = ItemRecord::LiveMeasure;
        record.unit = reading.unit().text;
        record.saved = true;
        item = writer.addItem(session, record, 1);
        if (item == 0)
            return fail();
        unit = record.unit;
    } else if (reading.unit().text != unit) {
        // The item shows the unit of its newest readings; each reading keeps its own.
        unit = reading.unit().text;
        if (!writer.setItemUnit(item, unit))
            return fail();
    }
    gathered.append(ReadingRecord::of(reading));
    ++unsaved;
    return true;
}

bool SessionLog::save()
{
    if (!writer.isOpen())
        return false;
    if (unsaved == 0)
        return true;
    if (!writeGathered() || !writer.commit() || !writer.begin())
        return fail();
    unsaved = 0;
    return true;
}

bool SessionLog::writeGathered()
{
    const bool written = writer.appendReadings(item, gathered);
    gathered.clear();
    return written;
}

bool SessionLog::close(const QDateTime& ended)
{
    if (!writer.isOpen())
        return true;
    const bool saved = (session == 0 || (writeGathered() && writer.endSession(session, ended)))
        && writer.commit();
    if (!saved)
        fail();
    else
        unsaved = 0;
    writer.close();
    return saved;
}

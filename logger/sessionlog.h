#pragma once

#include "sessionwriter.h"

#include <QDateTime>
#include <QString>
#include <QVector>

class DmmData;

// Writes the logger's readings into a session file (the format the window saves and opens): one
// session per run with one item, added to the file when it exists already. Readings are gathered
// and written together by save(), which commits them, so that a power failure costs at most what
// came since.
class SessionLog
{
public:
    static constexpr const char* Program = "vibview-logger";

    bool open(const QString& fileName, const QString& itemName, const QDateTime& started);
    bool append(const DmmData& reading);
    bool save();
    // Saves and marks the session ended.
    bool close(const QDateTime& ended);

    QString errorString() const { return error; }
    // Readings appended and not yet committed.
    int pending() const { return unsaved; }

private:
    bool fail();
    bool writeGathered();

    SessionWriter writer;
    QString name;
    QDateTime start;
    qint64 session = 0;
    qint64 item = 0;
    QString unit;
    QString error;
    QVector<ReadingRecord> gathered;
    int unsaved = 0;
};

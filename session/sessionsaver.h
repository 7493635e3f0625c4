#pragma once

#include "sessionwriter.h"

#include <QString>

// Saves a session file as a whole or not at all: the writer fills a new file beside the target,
// which replaces the target only once it is complete and on the disk.
class SessionSaver
{
public:
    explicit SessionSaver(const QString& target);
    // Removes the new file unless it was committed.
    ~SessionSaver();
    SessionSaver(const SessionSaver&) = delete;
    SessionSaver& operator=(const SessionSaver&) = delete;

    // The writer on the new file, in an open transaction; null when it cannot be created.
    SessionWriter* open();
    // Commits, closes and puts the file in the target's place.
    bool commit();
    QString errorString() const { return error; }

private:
    void discard();

    QString target;
    QString temporary;
    SessionWriter writer;
    QString error;
};

#pragma once

#include <QDateTime>
#include <QMetaType>

// A session in the journal whose readings were never exported or saved: what the window offers
// to restore. An empty one (session 0) means there is nothing to offer.
struct PendingSession
{
    qint64 session = 0;
    int items = 0;
    int readings = 0;
    QDateTime started;
    bool endedCleanly = false;

    bool isEmpty() const { return session == 0 || readings == 0; }
};

Q_DECLARE_METATYPE(PendingSession)

#pragma once

#include "itemrecord.h"
#include "loadeditem.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <vector>

// Reads a session database (a .vibview file or the journal) without changing it. Everything read
// is checked: a file that is not a session, or whose rows do not make sense, is refused with a
// reason, and nothing of it is handed out.
class SessionReader
{
public:
    SessionReader();
    ~SessionReader();
    SessionReader(const SessionReader&) = delete;
    SessionReader& operator=(const SessionReader&) = delete;

    bool open(const QString& fileName);
    void close();
    QString errorString() const { return error; }

    // The items of one session (every session when 0) in their order, each with its reading
    // count; only those with unsaved readings when asked.
    bool items(QList<ItemRecord>* items, qint64 session = 0, bool unsavedOnly = false);
    // The readings of one item, in the order they were stored.
    bool readings(qint64 item, std::vector<std::unique_ptr<DmmData>>* readings);
    // Every item of every session with its readings; all or nothing.
    bool readAll(std::vector<LoadedItem>* loaded);

private:
    bool loadTexts();
    bool fail(const QString& reason);

    QSqlDatabase db;
    QString connection;
    QString error;
    QHash<qint64, QString> texts;
    bool textsLoaded = false;
};

#pragma once

#include <QString>

class QSqlDatabase;
class QSqlError;

// The one SQLite schema of the recording journal and of .vibview session files. A file carries
// the program's application id and the schema version in its header, so that another SQLite file,
// or one written by a newer vibview, is recognised before anything is read from it.
class SessionSchema
{
public:
    static constexpr int applicationId = 0x56625677; // "VbVw"
    static constexpr int version = 1;

    // Creates the tables in a new, empty database.
    static bool create(QSqlDatabase& db, QString* error);
    // True when db is empty (a new file).
    static bool isEmpty(QSqlDatabase& db, bool* empty, QString* error);
    // Whether db holds this schema; otherwise why not, in words for the user.
    static bool check(QSqlDatabase& db, QString* reason);

    // SQLite's primary result code behind a Qt SQL error (0 when there is none).
    static int resultCode(const QSqlError& error);
    // A damaged or foreign file, as opposed to a file that cannot be reached or written.
    static bool isDamage(const QSqlError& error);
    static QString describe(const QSqlError& error);
};

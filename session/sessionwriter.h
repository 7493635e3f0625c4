#pragma once

#include "itemrecord.h"
#include "readingrecord.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVector>

#include <array>
#include <memory>

// Writes sessions, items and readings into a session database (the journal or a .vibview file),
// in transactions the caller opens and commits. Every call returns false, or 0 for an id, when
// SQLite refused it; errorString() and lastError() say why.
class SessionWriter
{
public:
    enum class Mode {
        // The recording journal: write-ahead log, every commit on the disk before it returns.
        Journal,
        // A session file: a single file, complete after each commit. While it is open its rollback
        // journal is emptied rather than deleted after each commit, which spares a writer that
        // commits every second the file system's create and delete; closing removes it.
        File,
    };

    SessionWriter();
    ~SessionWriter();
    SessionWriter(const SessionWriter&) = delete;
    SessionWriter& operator=(const SessionWriter&) = delete;

    // Creates the file with the schema, or opens an existing one that carries it.
    bool open(const QString& fileName, Mode mode, int pageLimit = 0);
    void close();
    bool isOpen() const { return db.isOpen(); }
    QString fileName() const { return path; }
    QString errorString() const { return error; }
    // Whether the last failure came from a damaged or foreign file.
    bool failedOnDamage() const { return damaged; }
    QSqlDatabase database() const { return db; }

    bool begin();
    bool commit();
    void rollback();

    qint64 beginSession(const QDateTime& started, const QString& program);
    bool endSession(qint64 session, const QDateTime& ended);
    bool removeSession(qint64 session);

    qint64 addItem(qint64 session, const ItemRecord& item, int position);
    // Moves an item of another session into this one, as another type.
    bool moveItem(qint64 item, qint64 session, int position, int type);
    bool renameItem(qint64 item, const QString& name);
    bool setItemUnit(qint64 item, const QString& unit);
    bool setItemProperties(qint64 item, const QJsonObject& properties);
    bool setItemSaved(qint64 item, bool saved);
    bool clearItem(qint64 item);
    bool removeItem(qint64 item);

    bool appendReading(qint64 item, const ReadingRecord& reading);
    // The same for many readings, in a few statements: much cheaper per reading than one call
    // each, for a writer that gathers its readings between commits.
    bool appendReadings(qint64 item, const QVector<ReadingRecord>& readings);

private:
    // Statements inserting 1, 2, 4, ... 64 readings at once.
    static constexpr int BatchLevels = 7;

    bool insertReadings(qint64 item, const ReadingRecord* readings, int count);
    bool bindReading(QSqlQuery& insert, int first, qint64 item, const ReadingRecord& reading);
    // One column of one item; the column name is always one of ours, never the user's.
    bool updateItem(qint64 item, const QString& column, const QVariant& value);
    bool exec(QSqlQuery& query);
    bool exec(const QString& statement);
    QSqlQuery& prepared(std::unique_ptr<QSqlQuery>& query, const char* statement);
    QSqlQuery& prepared(std::unique_ptr<QSqlQuery>& query, const QString& statement);
    qint64 textId(const QString& value);
    bool fail(const QSqlError& sqlError);

    QSqlDatabase db;
    QString connection;
    QString path;
    QString error;
    bool damaged = false;
    bool emptiesJournal = false;
    QHash<QString, qint64> textIds;
    std::array<std::unique_ptr<QSqlQuery>, BatchLevels> insertReading;
    std::unique_ptr<QSqlQuery> insertText;
    std::unique_ptr<QSqlQuery> selectText;
};

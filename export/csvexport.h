#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QAbstractItemModel;
struct ColumnHeader;

// Writes the reading table as CSV (RFC 4180): the column titles as the header line, then one line
// per reading with the texts the table shows, UTF-8 without a byte order mark, CRLF line ends,
// times as ISO 8601 with milliseconds. Shows no dialogs.
class CsvExport
{
public:
    // Replaces the file as a whole or not at all; on failure, error (when given) says why.
    static bool write(const QAbstractItemModel* model, const QList<ColumnHeader*>& headers,
        const QString& fileName, QString* error = nullptr);

    static QByteArray toCsv(const QAbstractItemModel* model, const QList<ColumnHeader*>& headers);

    // One field, as CsvRow::field writes it: quoted where needed, formulas neutralised.
    static QString field(const QString& text);
};

#pragma once

#include <QList>
#include <QString>
#include <QVariant>

class QAbstractItemModel;
struct ColumnHeader;

// The paged PDF report of the reading table on A4: a first page with only its page number, then
// table pages with the date line, the page number, the header grid and the rows. Shows no dialogs.
class PdfReport
{
public:
    // Writes the whole report; returns false, leaving no file behind, when the file cannot be
    // created or the document cannot be finished.
    static bool write(const QAbstractItemModel* model, const QList<ColumnHeader*>& headers,
        const QString& fileName);

    // The text of one cell: numbers as their integer value, date-times in the table's format.
    static QString cellText(const QVariant& value);
};

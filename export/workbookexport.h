#pragma once

#include "exportresult.h"

#include <QList>
#include <QString>

class ItemData;
struct ColumnHeader;

// Writes items into an .xlsx workbook: per item its readings (numbers, times with milliseconds,
// the zone letter when graded) on as many sheets as they need, a summary of the items, and a
// line chart of the values over time on a sheet of its own. Written in constant memory, so no
// item is too large. Shows no dialogs.
class WorkbookExport
{
public:
    // Reading rows a sheet takes under its header row (the format's 1,048,576 rows less one).
    static constexpr int MaxRowsPerSheet = 1048575;

    // rowsPerSheet: readings per sheet before they continue on the next; lower only in tests.
    explicit WorkbookExport(int rowsPerSheet = MaxRowsPerSheet);

    // One item: sheets "Summary", "Readings" ("Readings (2)", ...) and "Chart". The column titles
    // are the reading table's.
    ExportResult write(
        const ItemData* item, const QList<ColumnHeader*>& headers, const QString& fileName) const;
    // Several items: one summary with a column per item, then per item its readings on sheets
    // named after it and its chart.
    ExportResult writeAll(const QList<const ItemData*>& items, const QList<ColumnHeader*>& headers,
        const QString& fileName) const;

    // A sheet name the format accepts, unique (case-insensitive) among used; added to used.
    static QString sheetName(const QString& wanted, QStringList& used);

private:
    ExportResult writeItems(const QList<const ItemData*>& items,
        const QList<ColumnHeader*>& headers, const QString& fileName, bool single) const;

    int rowsPerSheet;
};

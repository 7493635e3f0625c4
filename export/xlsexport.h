#pragma once

#include "automationobject.h"

#include <QList>
#include <QString>

class QAbstractItemModel;
struct ColumnHeader;

// Writes the reading table into a workbook by driving a spreadsheet server's object model: a new
// workbook, the titles in row 1, the readings below with the date column as dates and the text
// columns as text, fitted columns, saved as an .xls (BIFF8) file. Shows no dialogs.
class XlsExport
{
public:
    enum Result {
        Succeeded,
        Failed, // the server could not build or save the workbook
        NoServer, // no spreadsheet server could be created or bound
        TooManyRows, // the table does not fit into one sheet; nothing was written
    };

    // Reading rows a sheet takes under the header row.
    static constexpr int maxRows = 65535;

    explicit XlsExport(AutomationFactory factory = createAutomationApplication);

    Result write(const QAbstractItemModel* model, const QList<ColumnHeader*>& headers,
        const QString& fileName) const;

    // "A" for column 1, "F" for 6, "AA" for 27.
    static QString columnName(int column);

private:
    AutomationFactory factory;
};

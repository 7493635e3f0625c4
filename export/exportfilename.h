#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// File names of the exports: the name suggested from the item and the time, and the rule that
// gives a typed name its kind's extension.
class ExportFileName
{
public:
    // "Measure1 2026-12-08 1405.xlsx"; characters that no file system takes become "_".
    static QString suggested(
        const QString& itemName, const QDateTime& when, const QString& extension);

    // The name completed with the extension (without the dot) when it ends in none of the
    // exports' extensions; a name ending in any of them (the kind's own or another kind's) stays
    // as typed, and the file is written in the chosen kind's format all the same.
    static QString completed(const QString& typed, const QString& extension);

    // Every extension an export writes, lower case: xls, xlsx, jpg, jpeg, pdf, csv.
    static QStringList knownExtensions();
};

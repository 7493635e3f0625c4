#pragma once

#include "loadeditem.h"

#include <QByteArray>
#include <QString>

// Reads back what vibview's CSV export writes: its header line, then one line per reading with
// the table's texts (record number, date and time with or without milliseconds, detection, value
// text, unit, band). Any other file, or a line that does not fit, is refused with the line and
// the reason, and nothing is read.
class CsvImport
{
public:
    // The readings of the file as one item named after the file.
    static bool read(const QString& fileName, LoadedItem* item, QString* error);
    static bool parse(const QByteArray& data, LoadedItem* item, QString* error);

    // The first line of every export (the table's column titles).
    static QByteArray header();
};

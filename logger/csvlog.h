#pragma once

#include <QFile>
#include <QString>

class DmmData;

// Appends readings to a CSV file in the format of vibview's CSV export, so that the window's
// Import and any spreadsheet read it. A new file gets the header line; an existing one must be
// such a file, and its numbering goes on where it ended.
class CsvLog
{
public:
    bool open(const QString& fileName);
    // Into the file's buffer; flush() puts it on the disk.
    bool append(const DmmData& reading);
    bool flush();
    void close();

    QString fileName() const { return file.fileName(); }
    QString errorString() const { return error; }
    // Readings appended and not yet flushed.
    int pending() const { return unflushed; }

private:
    bool fail(const QString& reason);

    QFile file;
    QString error;
    qint64 rows = 0;
    int unflushed = 0;
};

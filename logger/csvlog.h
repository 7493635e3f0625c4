#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

class DmmData;

// Appends readings to a CSV file in the format of vibview's CSV export, so that the window's
// Import and any spreadsheet read it. A new file gets the header line; an existing one must be
// such a file, and its numbering goes on where it ended.
class CsvLog
{
public:
    ~CsvLog();

    bool open(const QString& fileName);
    // Into memory; flush() writes the lines gathered since the last one and puts them on the disk.
    bool append(const DmmData& reading);
    bool flush();
    // Writes what is still gathered.
    void close();

    QString fileName() const { return file.fileName(); }
    QString errorString() const { return error; }
    // Readings appended and not yet flushed.
    int pending() const { return unflushed; }

private:
    bool fail(const QString& reason);

    QFile file;
    QByteArray lines;
    QString error;
    qint64 rows = 0;
    int unflushed = 0;
};

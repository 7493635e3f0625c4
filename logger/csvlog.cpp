#include "csvlog.h"

#include "csvimport.h"
#include "csvrow.h"

#include <QFileInfo>

bool CsvLog::open(const QString& fileName)
{
    close();
    error.clear();
    lines.clear();
    rows = 0;
    unflushed = 0;
    if (QFileInfo(fileName).isDir())
        return fail(QStringLiteral("it is a folder"));
    file.setFileName(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return fail(file.errorString());

    const QByteArray header = CsvImport::header();
    QByteArray start;
    if (file.size() == 0) {
        start = header + "\r\n";
    } else {
        // Readings are only ever added to a file of the same kind, never to someone's other file.
        file.seek(0);
        const QByteArray first = file.readLine(header.size() + 3);
        if (first != header + "\r\n" && first != header + "\n")
            return fail(QStringLiteral("it is not a vibview CSV file"));
        char last = first.back();
        qint64 lineEnds = 1;
        for (;;) {
            const QByteArray chunk = file.read(1 << 16);
            if (chunk.isEmpty())
                break;
            lineEnds += chunk.count('\n');
            last = chunk.back();
        }
        if (file.error() != QFileDevice::NoError)
            return fail(file.errorString());
        // A line cut off by a power failure stays on its own line.
        if (last != '\n') {
            start = "\r\n";
            ++lineEnds;
        }
        rows = lineEnds - 1;
    }
    if (!start.isEmpty() && (file.write(start) != start.size() || !file.flush()))
        return fail(file.errorString());
    return true;
}

CsvLog::~CsvLog()
{
    close();
}

bool CsvLog::append(const DmmData& reading)
{
    if (!file.isOpen())
        return fail(QStringLiteral("it is not open"));
    CsvRow::appendReading(lines, reading, int(rows + 1));
    ++rows;
    ++unflushed;
    return true;
}

bool CsvLog::flush()
{
    if (!file.isOpen())
        return true;
    if (!lines.isEmpty()) {
        if (file.write(lines) != lines.size())
            return fail(file.errorString());
        lines.clear();
    }
    if (!file.flush())
        return fail(file.errorString());
    unflushed = 0;
    return true;
}

void CsvLog::close()
{
    if (!file.isOpen())
        return;
    flush();
    file.close();
}

bool CsvLog::fail(const QString& reason)
{
    error = reason;
    return false;
}

#include "csvlog.h"

#include "csvimport.h"
#include "csvrow.h"

#include <QFileInfo>

bool CsvLog::open(const QString& fileName)
{
    close();
    error.clear();
    rows = 0;
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

bool CsvLog::append(const DmmData& reading)
{
    const QByteArray line = CsvRow::line(CsvRow::texts(reading, int(rows + 1)));
    if (file.write(line) != line.size())
        return fail(file.errorString());
    ++rows;
    ++unflushed;
    return true;
}

bool CsvLog::flush()
{
    if (!file.isOpen())
        return true;
    if (!file.flush())
        return fail(file.errorString());
    unflushed = 0;
    return true;
}

void CsvLog::close()
{
    if (file.isOpen())
        file.close();
}

bool CsvLog::fail(const QString& reason)
{
    error = reason;
    return false;
}

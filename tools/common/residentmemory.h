#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>

#include <unistd.h>

// Resident set size of this process in bytes, from /proc/self/statm; -1 where that cannot be read.
// Shared by the memory benchmark, the soak driver and the garbage-stream test.
inline qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * ::sysconf(_SC_PAGESIZE) : -1;
}

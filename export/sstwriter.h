#pragma once

#include <QPair>
#include <QStringList>
#include <QVector>

class BiffStream;

// Writes the shared string table: the SST record with its CONTINUE records, then the EXTSST
// index. A string may be split between records; the part in the next record starts again with
// its option byte.
class SstWriter
{
public:
    explicit SstWriter(BiffStream& stream);

    // total counts the text cells, strings the distinct texts in order of first use.
    void write(const QStringList& strings, quint32 total);

private:
    int room() const;
    void nextRecord();
    void add(const QString& s, QVector<QPair<quint32, quint16>>* buckets);

    BiffStream& st;
    int lengthAt = 0;
};

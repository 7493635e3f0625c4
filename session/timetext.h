#pragma once

#include <QByteArray>
#include <QtGlobal>

class QDateTime;

// Times and numbers as text, written by hand for files that take a line per reading: QDateTime's
// formatter parses its pattern again for every one of a million readings.
class TimeText
{
public:
    // The time as yyyy-MM-dd, the separator, then HH:mm:ss.zzz; times outside the years 1000 to
    // 9999 go through QDateTime's formatter.
    static void append(QByteArray& out, const QDateTime& dateTime, char separator);
    // A number of at least width digits, zeros in front; negative numbers get a minus sign.
    static void appendDigits(QByteArray& out, qint64 value, int width);
};

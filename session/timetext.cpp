#include "timetext.h"

#include <QDateTime>

void TimeText::append(QByteArray& out, const QDateTime& dateTime, char separator)
{
    const QDate date = dateTime.date();
    const QTime clock = dateTime.time();
    if (!date.isValid() || !clock.isValid() || date.year() < 1000 || date.year() > 9999) {
        const QString pattern
            = QStringLiteral("yyyy-MM-dd'%1'HH:mm:ss.zzz").arg(QLatin1Char(separator));
        out += dateTime.toString(pattern).toUtf8();
        return;
    }
    appendDigits(out, date.year(), 4);
    out += '-';
    appendDigits(out, date.month(), 2);
    out += '-';
    appendDigits(out, date.day(), 2);
    out += separator;
    appendDigits(out, clock.hour(), 2);
    out += ':';
    appendDigits(out, clock.minute(), 2);
    out += ':';
    appendDigits(out, clock.second(), 2);
    out += '.';
    appendDigits(out, clock.msec(), 3);
}

void TimeText::appendDigits(QByteArray& out, qint64 value, int width)
{
    if (value < 0)
        out += '-';
    // Unsigned, so that the most negative number has its digits too.
    quint64 rest = value < 0 ? 0 - quint64(value) : quint64(value);
    char digits[20];
    int count = 0;
    do {
        digits[count++] = char('0' + rest % 10);
        rest /= 10;
    } while (rest > 0 && count < 20);
    for (; count < width && count < 20; ++count)
        digits[count] = '0';
    while (count > 0)
        out += digits[--count];
}

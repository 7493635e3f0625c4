#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class DmmData;
class QDateTime;

// One line of vibview's CSV files (RFC 4180, UTF-8, CRLF), shared by the window's export and the
// logger, which has no widgets.
class CsvRow
{
public:
    // One field, quoted when it holds a separator, a quote or a line break. A text a spreadsheet
    // would run as a formula (it begins with =, +, -, @, a tab or a carriage return and is no
    // number) gets a leading apostrophe; control characters other than tab and line breaks are
    // replaced by U+FFFD.
    static QString field(const QString& text);
    // The text a field of ours stood for: the apostrophe that field() put in front is taken off.
    static QString unescaped(const QString& field);

    // The fields, each through field(), joined by commas and ended with CRLF.
    static QByteArray line(const QStringList& texts);

    // The time column: the reading's local time with milliseconds.
    static QString time(const QDateTime& dateTime);
    // How many texts() gives: the reading table's columns.
    static constexpr int ReadingFields = 6;
    // The texts of one reading as the reading table shows them: number, time, detection, value
    // text, unit and band.
    static QStringList texts(const DmmData& reading, int number);
    // Appends line(texts(reading, number)) without building the texts: a million rows go out
    // without a million lists.
    static void appendReading(QByteArray& out, const DmmData& reading, int number);
    static void appendTime(QByteArray& out, const QDateTime& dateTime);
};

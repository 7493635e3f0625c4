// The CSV line shared by the window's export and the logger: quoting, cells a spreadsheet would
// run as formulas, and the import taking the escape off again.
#include "csvimport.h"
#include "csvrow.h"
#include "dmmdata.h"
#include "loadeditem.h"
#include "timetext.h"

#include <QTest>

#include <limits>

class CsvRowTest : public QObject
{
    Q_OBJECT

private slots:
    void field_data();
    void field();
    void readingLineReadsBack();
    void timeText_data();
    void timeText();
};

void CsvRowTest::field_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("readBack"); // what the import makes of the field

    QTest::newRow("plain") << "12.34"
                           << "12.34"
                           << "12.34";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("meter's leading blanks kept") << "  7.52"
                                                 << "  7.52"
                                                 << "  7.52";
    QTest::newRow("comma") << "1,5"
                           << "\"1,5\""
                           << "1,5";
    QTest::newRow("quote") << "say \"hi\""
                           << "\"say \"\"hi\"\"\""
                           << "say \"hi\"";
    QTest::newRow("line break") << "a\r\nb"
                                << "\"a\r\nb\""
                                << "a\r\nb";
    QTest::newRow("non-ASCII") << "m/S²"
                               << "m/S²"
                               << "m/S²";
    QTest::newRow("formula") << "=1+2"
                             << "'=1+2"
                             << "=1+2";
    QTest::newRow("plus") << "+A1"
                          << "'+A1"
                          << "+A1";
    QTest::newRow("at") << "@SUM(A1)"
                        << "'@SUM(A1)"
                        << "@SUM(A1)";
    QTest::newRow("tab") << "\t=1"
                         << "'\t=1"
                         << "\t=1";
    QTest::newRow("formula with a comma") << "=A1,B1"
                                          << "\"'=A1,B1\""
                                          << "=A1,B1";
    QTest::newRow("no reading") << "----"
                                << "'----"
                                << "----";
    QTest::newRow("negative over range as the meter pads it") << "   -OL"
                                                              << "   -OL"
                                                              << "   -OL";
    QTest::newRow("negative number") << "-1.23"
                                     << "-1.23"
                                     << "-1.23";
    QTest::newRow("signed number") << "+1.50"
                                   << "+1.50"
                                   << "+1.50";
    QTest::newRow("infinity is no number") << "-inf"
                                           << "'-inf"
                                           << "-inf";
    QTest::newRow("an apostrophe of the text's own stays") << "'12"
                                                           << "'12"
                                                           << "'12";
    QTest::newRow("control characters")
        << "12\x1b.3\a" << QStringLiteral("12\ufffd.3\ufffd") << QStringLiteral("12\ufffd.3\ufffd");
    QTest::newRow("C1 control") << QStringLiteral("a\u0085b") << QStringLiteral("a\ufffdb")
                                << QStringLiteral("a\ufffdb");
}

void CsvRowTest::field()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, readBack);
    QCOMPARE(CsvRow::field(text), field);

    // The import, the reader we did not write for this, gets the text back from a whole line.
    DmmData reading;
    reading.setDateTime(QDateTime(QDate(2026, 12, 8), QTime(14, 3, 5, 250)));
    reading.addText(text);
    reading.addValue(0.0);
    reading.setDetection(text);
    const QByteArray line = CsvRow::line(CsvRow::texts(reading, 1));
    // The export's direct path writes the very same bytes.
    QByteArray direct;
    CsvRow::appendReading(direct, reading, 1);
    QCOMPARE(direct, line);
    const QByteArray csv = CsvImport::header() + "\r\n" + line;
    LoadedItem item;
    QString error;
    QVERIFY2(CsvImport::parse(csv, &item, &error), qPrintable(error));
    QCOMPARE(int(item.readings.size()), 1);
    QCOMPARE(item.readings.front()->text(0), readBack);
    QCOMPARE(item.readings.front()->detection(), readBack);
}

void CsvRowTest::readingLineReadsBack()
{
    DmmData reading;
    reading.setDateTime(QDateTime(QDate(2026, 12, 8), QTime(14, 3, 5, 7)));
    reading.addText(QStringLiteral("  7.52"));
    reading.addValue(7.52);
    reading.setUnit(2, QStringLiteral("cm/s"));
    reading.setDetection(QStringLiteral("Vrms"));
    reading.setBand(QStringLiteral("10-1kHz"));
    QCOMPARE(CsvRow::line(CsvRow::texts(reading, 42)),
        QByteArray("42,2026-12-08 14:03:05.007,Vrms,  7.52,cm/s,10-1kHz\r\n"));
    QByteArray direct;
    CsvRow::appendReading(direct, reading, 42);
    QCOMPARE(direct, QByteArray("42,2026-12-08 14:03:05.007,Vrms,  7.52,cm/s,10-1kHz\r\n"));
}

QTEST_GUILESS_MAIN(CsvRowTest)
void CsvRowTest::timeText_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<char>("separator");
    QTest::addColumn<QByteArray>("text");
    const QTime clock(7, 3, 5, 9);
    QTest::newRow("CSV") << QDateTime(QDate(2026, 1, 2), clock) << ' '
                         << QByteArray("2026-01-02 07:03:05.009");
    QTest::newRow("ISO") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999)) << 'T'
                         << QByteArray("2026-12-31T23:59:59.999");
    // Outside four-digit years the formatter writes them, in the same pattern.
    QTest::newRow("year 999") << QDateTime(QDate(999, 1, 2), clock) << ' '
                              << QByteArray("0999-01-02 07:03:05.009");
    QTest::newRow("year 10000") << QDateTime(QDate(10000, 1, 2), clock) << 'T'
                                << QByteArray("10000-01-02T07:03:05.009");
    QTest::newRow("invalid") << QDateTime() << ' ' << QByteArray();
}

void CsvRowTest::timeText()
{
    QFETCH(QDateTime, time);
    QFETCH(char, separator);
    QFETCH(QByteArray, text);
    QByteArray out;
    TimeText::append(out, time, separator);
    QCOMPARE(out, text);

    QByteArray digits;
    for (const qint64 value : { qint64(7), qint64(-42), std::numeric_limits<qint64>::min() })
        TimeText::appendDigits(digits, value, 3);
    QCOMPARE(digits, QByteArray("007-042-9223372036854775808"));
}

#include "tst_csvrow.moc"

// Import of vibview's own CSV export: what the export writes reads back as the same readings;
// other files and damaged lines are refused with the line and the reason, and nothing is read.

#include "columnheader.h"
#include "csvexport.h"
#include "csvimport.h"
#include "datamodel.h"
#include "itemdata.h"

#include <QTest>

namespace {

const QByteArray header = CsvImport::header() + "\r\n";

QList<ColumnHeader*> columns()
{
    QList<ColumnHeader*> headers;
    for (const char* title : { "No.", "Date/Time", "Function", "Value", "Unit", "Frequency(Hz)" })
        headers << new ColumnHeader { QString::fromLatin1(title), 2 };
    return headers;
}

DmmData* reading(int n, const QString& text, bool stored)
{
    auto* d = new DmmData;
    d->setDateTime(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 58)).addSecs(n));
    d->addText(text);
    d->addValue(text.trimmed().toDouble());
    d->setUnit(4, QStringLiteral("mm"));
    d->setBand(QStringLiteral("10-500Hz"));
    d->setDetection(QStringLiteral("Dp-p"));
    d->setFromStore(stored);
    d->setStoreIndex(stored ? 40 + n : 0);
    return d;
}

} // namespace

class CsvImportTest : public QObject
{
    Q_OBJECT

private slots:
    void readsWhatTheExportWrites_data();
    void readsWhatTheExportWrites();
    void accepts_data();
    void accepts();
    void refuses_data();
    void refuses();
};

void CsvImportTest::readsWhatTheExportWrites_data()
{
    QTest::addColumn<bool>("stored");
    QTest::newRow("live readings") << false;
    QTest::newRow("the meter's memory") << true;
}

void CsvImportTest::readsWhatTheExportWrites()
{
    QFETCH(bool, stored);
    ItemData item(QStringLiteral("Pump"), ItemData::LiveMeasure);
    const QStringList texts { " 7.52", "    OL", "   -OL", "----", "12.34" };
    for (int n = 0; n < texts.size(); ++n)
        item.appendReading(reading(n, texts.at(n), stored));
    const QList<ColumnHeader*> headers = columns();
    DataModel model(headers);
    model.showItem(&item);
    const QByteArray csv = CsvExport::toCsv(&model, headers);
    qDeleteAll(headers);

    LoadedItem loaded;
    QString error;
    QVERIFY2(CsvImport::parse(csv, &loaded, &error), qPrintable(error));
    QCOMPARE(loaded.record.unit, QStringLiteral("mm"));
    QCOMPARE(int(loaded.readings.size()), texts.size());
    const QList<int> states { 0, 1, -1, 2, 0 };
    for (int n = 0; n < texts.size(); ++n) {
        const DmmData* original = item.readings().at(n);
        const DmmData* back = loaded.readings[size_t(n)].get();
        QCOMPARE(back->dateTime(), original->dateTime());
        QCOMPARE(back->texts(), original->texts());
        QCOMPARE(back->values(), QList<double> { n == 0 ? 7.52 : n == 4 ? 12.34 : 0.0 });
        QCOMPARE(back->state(), states.at(n));
        QCOMPARE(back->unit().code, 4);
        QCOMPARE(back->unit().text, original->unit().text);
        QCOMPARE(back->band(), original->band());
        QCOMPARE(back->detection(), original->detection());
        QCOMPARE(back->fromStore(), stored);
        QCOMPARE(back->storeIndex(), original->storeIndex());
    }
}

void CsvImportTest::accepts_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QStringList>("times"); // yyyy-MM-dd HH:mm:ss.zzz of each reading
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("lastStoreIndex"); // 0: live readings

    QTest::newRow("seconds") << header + "1,2026-01-02 03:04:05,Vrms, 1.00,cm/s,10-1kHz\r\n"
                             << QStringList { "2026-01-02 03:04:05.000" } << QStringList { " 1.00" }
                             << 0;
    QTest::newRow("milliseconds, T, line feeds only")
        << QByteArray("No.,Date/Time,Function,Value,Unit,Frequency(Hz)\n"
                      "1,2026-01-02T03:04:05.678,Ap,2,m/S2,\n"
                      "2,2026-01-02 03:04:06.001,Ap,3,m/S2,\n")
        << QStringList { "2026-01-02 03:04:05.678", "2026-01-02 03:04:06.001" }
        << QStringList { "2", "3" } << 0;
    QTest::newRow("quoted fields, no final line break")
        << header + "\"7\",2026-01-02 03:04:05,\"Dp\"\"p\",\" 1,5\",mm,\"10-\r\n500Hz\""
        << QStringList { "2026-01-02 03:04:05.000" } << QStringList { " 1,5" } << 7;
    QTest::newRow("byte order mark, record numbers")
        << "\xEF\xBB\xBF" + header
            + "12,2026-01-02 03:04:05,Vrms, 1.00,cm/s,10-1kHz\r\n"
              "13,2026-01-02 03:04:06,Vrms, 1.00,cm/s,10-1kHz\r\n"
        << QStringList { "2026-01-02 03:04:05.000", "2026-01-02 03:04:06.000" }
        << QStringList { " 1.00", " 1.00" } << 13;
}

void CsvImportTest::accepts()
{
    QFETCH(QByteArray, csv);
    QFETCH(QStringList, times);
    QFETCH(QStringList, texts);
    QFETCH(int, lastStoreIndex);
    LoadedItem loaded;
    QString error;
    QVERIFY2(CsvImport::parse(csv, &loaded, &error), qPrintable(error));
    QStringList readTimes;
    QStringList readTexts;
    for (const auto& reading : loaded.readings) {
        readTimes << reading->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        readTexts << reading->text(0);
    }
    QCOMPARE(readTimes, times);
    QCOMPARE(readTexts, texts);
    QCOMPARE(loaded.readings.back()->fromStore(), lastStoreIndex != 0);
    QCOMPARE(loaded.readings.back()->storeIndex(), lastStoreIndex);
}

void CsvImportTest::refuses_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("error");

    const QByteArray good = "1,2026-01-02 03:04:05,Vrms, 1.00,cm/s,10-1kHz\r\n";
    QTest::newRow("empty") << QByteArray() << "line 1: the file is empty";
    QTest::newRow("another CSV") << QByteArray("a,b,c\r\n1,2,3\r\n")
                                 << "line 1: this is not the header of a vibview CSV export";
    QTest::newRow("header only") << header << "line 1: the file holds no readings";
    QTest::newRow("a field short") << header + good + "2,2026-01-02 03:04:06,Vrms, 1.00,cm/s\r\n"
                                   << "line 3: 5 fields where a reading has 6";
    QTest::newRow("no record number") << header + "x,2026-01-02 03:04:05,Vrms,1,cm/s,\r\n"
                                      << "line 2: \"x\" is not a record number";
    QTest::newRow("no such day") << header + good + good + "3,2026-02-30 03:04:05,Vrms,1,mm,\r\n"
                                 << "line 4: \"2026-02-30 03:04:05\" is not a date and time";
    QTest::newRow("half a time") << header + "1,2026-01-02 03:04,Vrms,1,mm,\r\n"
                                 << "line 2: \"2026-01-02 03:04\" is not a date and time";
    QTest::newRow("unterminated quote after a quoted line break")
        << header + "1,2026-01-02 03:04:05,\"a\nb\",1,mm,\r\n2,\"2026,Vrms\r\n"
        << "line 4: a quoted field that never ends";
    QTest::newRow("quote in a field") << header + "1,2026-01-02 03:04:05,Vr\"ms,1,mm,\r\n"
                                      << "line 2: a quote inside an unquoted field";
    QTest::newRow("not UTF-8") << header + "1,2026-01-02 03:04:05,\xff\xfe,1,mm,\r\n"
                               << "line 2: text that is not UTF-8";
    QTest::newRow("empty line") << header + good + "\r\n" + good << "line 3: an empty line";
}

void CsvImportTest::refuses()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, error);
    LoadedItem loaded;
    QString reason;
    QVERIFY(!CsvImport::parse(csv, &loaded, &reason));
    QCOMPARE(reason, error);
    QVERIFY(loaded.readings.empty());
}

QTEST_GUILESS_MAIN(CsvImportTest)
#include "tst_csvimport.moc"

// The .xlsx workbook read back with openpyxl cell by cell, and opened and converted by gnumeric's
// ssconvert: readers nobody here wrote.
#include "exportitems.h"
#include "workbookexport.h"
#include "xlsxreader.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

QJsonValue value(const QJsonObject& cell)
{
    return cell.value(QStringLiteral("value"));
}

// The value beside a label in the first column of the summary; item counts from 1.
QJsonObject summaryCell(const QJsonObject& summary, const QString& label, int item = 1)
{
    const int rows = summary.value(QStringLiteral("max_row")).toInt();
    for (int row = 1; row <= rows; ++row) {
        if (value(XlsxReader::cell(summary, row, 1)).toString() == label)
            return XlsxReader::cell(summary, row, 1 + item);
    }
    return QJsonObject();
}

QString isoMs(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss.zzz"));
}

} // namespace

class WorkbookExportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void readings_data();
    void readings();
    void spill_data();
    void spill();
    void summary();
    void allItems();
    void sheetName_data();
    void sheetName();
    void gnumericOpens();
    void notWritten_data();
    void notWritten();

private:
    QJsonObject write(const WorkbookExport& writer, const ItemData* item, const QString& name);

    QList<ColumnHeader*> headers;
    QTemporaryDir dir;
};

void WorkbookExportTest::initTestCase()
{
    QVERIFY(dir.isValid());
    headers = ExportItems::headers();
    if (!XlsxReader::available())
        QSKIP("python3-openpyxl is not installed (scripts/deps.sh installs it)");
}

void WorkbookExportTest::cleanupTestCase()
{
    qDeleteAll(headers);
}

QJsonObject WorkbookExportTest::write(
    const WorkbookExport& writer, const ItemData* item, const QString& name)
{
    const QString file = dir.filePath(name);
    const ExportResult result = writer.write(item, headers, file);
    if (!result.ok)
        qWarning("write failed: %s", qPrintable(result.reason));
    QString error;
    const QJsonObject book = XlsxReader::read(file, 1000, &error);
    if (book.isEmpty())
        qWarning("openpyxl: %s", qPrintable(error));
    return book;
}

void WorkbookExportTest::readings_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("machineClass");
    QTest::addColumn<QStringList>("zones"); // expected zone letters, empty without a class
    const QStringList texts { " 2.41", "    OL", "   -OL", "----", "0.05", " 0.1" };
    QTest::newRow("live item, no class")
        << int(ItemData::LiveMeasure) << int(SeverityZones::NoClass) << QStringList();
    // Class I limits 0.71 / 1.8 / 4.5 mm/s: 24.1 mm/s is D, 0.5 A, 1.0 B.
    QTest::newRow("live item, class I")
        << int(ItemData::LiveMeasure) << int(SeverityZones::Part1ClassI)
        << QStringList { "D", "", "", "", "A", "B" };
    QTest::newRow("store data") << int(ItemData::StoreData) << int(SeverityZones::NoClass)
                                << QStringList();
}

// Every cell of the readings sheet: its type, value and number format.
void WorkbookExportTest::readings()
{
    QFETCH(int, type);
    QFETCH(int, machineClass);
    QFETCH(QStringList, zones);
    const QStringList texts { " 2.41", "    OL", "   -OL", "----", "0.05", " 0.1" };
    const auto item = ExportItems::item(QStringLiteral("Fan DE"), texts, ItemData::DataType(type),
        SeverityZones::MachineClass(machineClass));
    const QJsonObject book = write(WorkbookExport(), item.get(), QStringLiteral("readings.xlsx"));
    QCOMPARE(XlsxReader::sheetNames(book), (QStringList { "Summary", "Readings", "Chart" }));
    const QJsonObject sheet = XlsxReader::sheet(book, QStringLiteral("Readings"));
    QCOMPARE(sheet.value(QStringLiteral("max_row")).toInt(), texts.size() + 1);
    QCOMPARE(sheet.value(QStringLiteral("freeze")).toString(), QStringLiteral("A2"));

    QStringList titles { "No.", "Date/Time", "Function", "Value", "Unit", "Frequency(Hz)" };
    if (!zones.isEmpty())
        titles << "Zone";
    for (int c = 0; c < titles.size(); ++c) {
        const QJsonObject title = XlsxReader::cell(sheet, 1, c + 1);
        QCOMPARE(value(title).toString(), titles.at(c));
        QVERIFY(title.value(QStringLiteral("bold")).toBool());
    }
    // The chart's copy of the values sits hidden behind the visible columns.
    const QString hidden = QString(QChar('A' + titles.size()));
    QVERIFY(sheet.value(QStringLiteral("columns"))
                .toObject()
                .value(hidden)
                .toObject()
                .value(QStringLiteral("hidden"))
                .toBool());

    const QList<DmmData*> readings = item->readings();
    for (int i = 0; i < readings.size(); ++i) {
        const int row = i + 2;
        const DmmData* r = readings.at(i);
        const QJsonObject number = XlsxReader::cell(sheet, row, 1);
        QCOMPARE(number.value(QStringLiteral("type")).toString(), QStringLiteral("n"));
        QCOMPARE(value(number).toDouble(), double(type == ItemData::StoreData ? 100 + i : i + 1));

        const QJsonObject time = XlsxReader::cell(sheet, row, 2);
        QCOMPARE(time.value(QStringLiteral("type")).toString(), QStringLiteral("d"));
        QCOMPARE(value(time).toString(), isoMs(r->dateTime()));
        QCOMPARE(time.value(QStringLiteral("format")).toString(),
            QStringLiteral("yyyy-mm-dd hh:mm:ss.000"));
        QCOMPARE(value(XlsxReader::cell(sheet, row, 3)).toString(), QStringLiteral("Vrms"));

        const QJsonObject v = XlsxReader::cell(sheet, row, 4);
        const QJsonObject chartValue = XlsxReader::cell(sheet, row, titles.size() + 1);
        if (r->state() == DmmData::Numeric) {
            QCOMPARE(v.value(QStringLiteral("type")).toString(), QStringLiteral("n"));
            QCOMPARE(value(v).toDouble(), texts.at(i).toDouble());
            // Shown with the meter's decimals.
            const int decimals = texts.at(i).trimmed().section(QLatin1Char('.'), 1).size();
            QCOMPARE(v.value(QStringLiteral("format")).toString(),
                QStringLiteral("0.") + QString(decimals, QLatin1Char('0')));
            QCOMPARE(value(chartValue).toDouble(), texts.at(i).toDouble());
        } else {
            QCOMPARE(v.value(QStringLiteral("type")).toString(), QStringLiteral("s"));
            QCOMPARE(value(v).toString(), texts.at(i).trimmed());
            QVERIFY(value(chartValue).isNull()); // a gap in the chart, not a zero
        }
        QCOMPARE(value(XlsxReader::cell(sheet, row, 5)).toString(), QStringLiteral("cm/s"));
        QCOMPARE(value(XlsxReader::cell(sheet, row, 6)).toString(), QStringLiteral("10-1kHz"));
        if (!zones.isEmpty())
            QCOMPARE(value(XlsxReader::cell(sheet, row, 7)).toString(QString()), zones.at(i));
    }

    const QJsonObject chart = XlsxReader::sheet(book, QStringLiteral("Chart"));
    QCOMPARE(chart.value(QStringLiteral("kind")).toString(), QStringLiteral("chartsheet"));
    const QJsonArray charts = chart.value(QStringLiteral("charts")).toArray();
    QCOMPARE(charts.size(), 1);
    const QJsonArray series = charts.at(0).toObject().value(QStringLiteral("series")).toArray();
    QCOMPARE(series.size(), 1);
    QCOMPARE(series.at(0).toObject().value(QStringLiteral("x")).toString(),
        QStringLiteral("Readings!$B$2:$B$7"));
    QCOMPARE(series.at(0).toObject().value(QStringLiteral("y")).toString(),
        QStringLiteral("Readings!$%1$2:$%1$7").arg(hidden));
}

void WorkbookExportTest::spill_data()
{
    QTest::addColumn<int>("readings");
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<QList<int>>("rowsOnSheets");
    const int limit = 4;
    Q_UNUSED(limit)
    QTest::newRow("empty item: header only, no chart")
        << 0 << QStringList { "Summary", "Readings" } << QList<int> { 0 };
    QTest::newRow("one less than the limit")
        << 3 << QStringList { "Summary", "Readings", "Chart" } << QList<int> { 3 };
    QTest::newRow("exactly the limit")
        << 4 << QStringList { "Summary", "Readings", "Chart" } << QList<int> { 4 };
    QTest::newRow("one more than the limit")
        << 5 << QStringList { "Summary", "Readings", "Readings (2)", "Chart" }
        << QList<int> { 4, 1 };
    QTest::newRow("three sheets") << 11
                                  << QStringList { "Summary", "Readings", "Readings (2)",
                                         "Readings (3)", "Chart" }
                                  << QList<int> { 4, 4, 3 };
}

// On a limit lowered to 4 readings per sheet: the rows continue on the next sheet without loss
// or repetition, each sheet with its header, and the chart draws all of them.
void WorkbookExportTest::spill()
{
    QFETCH(int, readings);
    QFETCH(QStringList, sheets);
    QFETCH(QList<int>, rowsOnSheets);
    const auto item = ExportItems::item(QStringLiteral("Pump"), ExportItems::values(readings));
    const QJsonObject book
        = write(WorkbookExport(4), item.get(), QStringLiteral("spill%1.xlsx").arg(readings));
    QCOMPARE(XlsxReader::sheetNames(book), sheets);

    int expected = 1;
    for (int s = 0; s < rowsOnSheets.size(); ++s) {
        const QJsonObject sheet = XlsxReader::sheet(book, sheets.at(s + 1));
        QCOMPARE(sheet.value(QStringLiteral("max_row")).toInt(), rowsOnSheets.at(s) + 1);
        QCOMPARE(value(XlsxReader::cell(sheet, 1, 1)).toString(), QStringLiteral("No."));
        for (int row = 2; row <= rowsOnSheets.at(s) + 1; ++row) {
            QCOMPARE(value(XlsxReader::cell(sheet, row, 1)).toInt(), expected);
            QCOMPARE(value(XlsxReader::cell(sheet, row, 2)).toString(),
                isoMs(ExportItems::start().addMSecs(250 * (expected - 1))));
            ++expected;
        }
    }
    QCOMPARE(expected, readings + 1);
    if (readings == 0)
        return;
    const QJsonArray series = XlsxReader::sheet(book, QStringLiteral("Chart"))
                                  .value(QStringLiteral("charts"))
                                  .toArray()
                                  .at(0)
                                  .toObject()
                                  .value(QStringLiteral("series"))
                                  .toArray();
    QCOMPARE(series.size(), rowsOnSheets.size());
    const QString last = sheets.at(rowsOnSheets.size());
    const QString quoted
        = last.contains(QLatin1Char(' ')) ? QStringLiteral("'%1'").arg(last) : last;
    // A range of one cell is written as that cell.
    const QString lastRow = rowsOnSheets.last() == 1
        ? QString()
        : QStringLiteral(":$B$%1").arg(rowsOnSheets.last() + 1);
    QCOMPARE(series.last().toObject().value(QStringLiteral("x")).toString(),
        QStringLiteral("%1!$B$2%2").arg(quoted, lastRow));
}

// The summary's figures against a straightforward computation over the same readings.
void WorkbookExportTest::summary()
{
    QStringList texts = ExportItems::values(40);
    texts[3] = QStringLiteral("    OL");
    texts[17] = QStringLiteral("----");
    const auto item = ExportItems::item(
        QStringLiteral("Fan NDE"), texts, ItemData::StoreData, SeverityZones::Part1ClassII);
    ItemProperties properties = item->properties();
    properties.alertLevel = 0.28;
    properties.dangerLevel = 0.71;
    properties.note = QStringLiteral("Motor, drive end, horizontal");
    item->setProperties(properties);

    QVector<double> numbers;
    for (const QString& t : texts) {
        bool ok = false;
        const double v = t.trimmed().toDouble(&ok);
        if (ok)
            numbers << v;
    }
    double sum = 0, squares = 0, minimum = numbers.first(), maximum = numbers.first();
    int aboveAlert = 0, aboveDanger = 0, zoneD = 0;
    for (double v : numbers) {
        sum += v;
        squares += v * v;
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
        aboveAlert += v > 0.28;
        aboveDanger += v > 0.71;
        zoneD += v * 10 > 7.1 + 1e-9; // class II: C/D at 7.1 mm/s
    }
    const double mean = sum / numbers.size();
    double deviations = 0;
    for (double v : numbers)
        deviations += (v - mean) * (v - mean);

    const QJsonObject book = write(WorkbookExport(), item.get(), QStringLiteral("summary.xlsx"));
    const QJsonObject s = XlsxReader::sheet(book, QStringLiteral("Summary"));
    const auto number = [&](const QString& label) {
        const QJsonObject c = summaryCell(s, label);
        return c.value(QStringLiteral("type")).toString() == QLatin1String("n")
            ? value(c).toDouble()
            : std::nan("");
    };
    QCOMPARE(value(summaryCell(s, QStringLiteral("Item"))).toString(), QStringLiteral("Fan NDE"));
    QCOMPARE(value(summaryCell(s, QStringLiteral("Note"))).toString(),
        QStringLiteral("Motor, drive end, horizontal"));
    QCOMPARE(value(summaryCell(s, QStringLiteral("Unit"))).toString(), QStringLiteral("cm/s"));
    QCOMPARE(value(summaryCell(s, QStringLiteral("Detection"))).toString(), QStringLiteral("Vrms"));
    QCOMPARE(value(summaryCell(s, QStringLiteral("Band"))).toString(), QStringLiteral("10-1kHz"));
    QVERIFY(value(summaryCell(s, QStringLiteral("Machine class")))
                .toString()
                .startsWith(QStringLiteral("ISO 10816-1 class II")));
    QVERIFY(value(summaryCell(s, QStringLiteral("Times")))
                .toString()
                .contains(QStringLiteral("download")));
    QCOMPARE(number(QStringLiteral("Alert level")), 0.28);
    QCOMPARE(number(QStringLiteral("Danger level")), 0.71);
    QCOMPARE(number(QStringLiteral("Readings")), double(texts.size()));
    QCOMPARE(number(QStringLiteral("Numeric readings")), double(numbers.size()));
    QCOMPARE(number(QStringLiteral("Minimum")), minimum);
    QCOMPARE(number(QStringLiteral("Maximum")), maximum);
    QVERIFY(qAbs(number(QStringLiteral("Mean")) - mean) < 1e-9);
    QVERIFY(qAbs(number(QStringLiteral("RMS")) - std::sqrt(squares / numbers.size())) < 1e-9);
    QVERIFY(qAbs(number(QStringLiteral("Standard deviation"))
                - std::sqrt(deviations / (numbers.size() - 1)))
        < 1e-9);
    QCOMPARE(number(QStringLiteral("Over range")), 1.0);
    QCOMPARE(number(QStringLiteral("No reading")), 1.0);
    QCOMPARE(number(QStringLiteral("Above alert level")), double(aboveAlert));
    QCOMPARE(number(QStringLiteral("Above danger level")), double(aboveDanger));
    QCOMPARE(number(QStringLiteral("Zone D")), double(zoneD));
    QCOMPARE(
        value(summaryCell(s, QStringLiteral("First"))).toString(), isoMs(ExportItems::start()));
    QCOMPARE(value(summaryCell(s, QStringLiteral("Last"))).toString(),
        isoMs(ExportItems::start().addMSecs(250 * 39)));
    // 39 quarter seconds, a duration cell that openpyxl reads as a time span.
    QCOMPARE(value(summaryCell(s, QStringLiteral("Duration"))).toDouble(), 9.75);
    QVERIFY(value(summaryCell(s, QStringLiteral("Worst zone"))).toString().startsWith("D"));
}

// All items in one workbook: a summary column per item, readings and a chart per item.
void WorkbookExportTest::allItems()
{
    const auto first = ExportItems::item(QStringLiteral("Measure1"), ExportItems::values(3));
    const auto second = ExportItems::item(QStringLiteral("Fan: DE/NDE"), ExportItems::values(6));
    const auto empty = ExportItems::item(QStringLiteral("Spare"), {});
    const auto store = ExportItems::item(
        QStringLiteral("Store Data"), ExportItems::values(2), ItemData::StoreData);
    const QString file = dir.filePath(QStringLiteral("all.xlsx"));
    const ExportResult result = WorkbookExport(5).writeAll(
        { first.get(), second.get(), empty.get(), store.get() }, headers, file);
    QVERIFY2(result.ok, qPrintable(result.reason));
    const QJsonObject book = XlsxReader::read(file);
    QCOMPARE(XlsxReader::sheetNames(book),
        (QStringList { "Summary", "Measure1", "Measure1 chart", "Fan_ DE_NDE", "Fan_ DE_NDE (2)",
            "Fan_ DE_NDE chart", "Spare", "Store Data", "Store Data chart" }));
    const QJsonObject s = XlsxReader::sheet(book, QStringLiteral("Summary"));
    const QStringList names { "Measure1", "Fan: DE/NDE", "Spare", "Store Data" };
    const QList<int> counts { 3, 6, 0, 2 };
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(value(summaryCell(s, QStringLiteral("Item"), i + 1)).toString(), names.at(i));
        QCOMPARE(value(summaryCell(s, QStringLiteral("Readings"), i + 1)).toInt(), counts.at(i));
    }
    QCOMPARE(
        value(XlsxReader::cell(XlsxReader::sheet(book, QStringLiteral("Fan_ DE_NDE (2)")), 2, 1))
            .toInt(),
        6);
}

void WorkbookExportTest::sheetName_data()
{
    QTest::addColumn<QStringList>("used");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QStringList() << "Measure1"
                           << "Measure1";
    QTest::newRow("forbidden characters") << QStringList() << "a[b]c:d*e?f/g\\h"
                                          << "a_b_c_d_e_f_g_h";
    QTest::newRow("apostrophes at the ends") << QStringList() << "'quoted'"
                                             << "quoted";
    QTest::newRow("31 characters at most")
        << QStringList() << QString(40, QLatin1Char('x')) << QString(31, QLatin1Char('x'));
    QTest::newRow("taken, any case") << QStringList { "MEASURE1" } << "Measure1"
                                     << "Measure1 (2)";
    QTest::newRow("taken twice") << QStringList { "Pump", "Pump (2)" } << "Pump"
                                 << "Pump (3)";
    QTest::newRow("long and taken")
        << QStringList { QString(31, QLatin1Char('y')) } << QString(35, QLatin1Char('y'))
        << QString(27, QLatin1Char('y')) + " (2)";
    QTest::newRow("reserved name") << QStringList() << "History"
                                   << "History (2)";
    QTest::newRow("empty") << QStringList() << ""
                           << "Sheet";
}

void WorkbookExportTest::sheetName()
{
    QFETCH(QStringList, used);
    QFETCH(QString, wanted);
    QFETCH(QString, name);
    QCOMPARE(WorkbookExport::sheetName(wanted, used), name);
    QCOMPARE(used.last(), name);
}

// gnumeric opens the workbook and converts its readings sheet to CSV with the values and times.
void WorkbookExportTest::gnumericOpens()
{
    const QString ssconvert = QStandardPaths::findExecutable(QStringLiteral("ssconvert"));
    if (ssconvert.isEmpty())
        QSKIP("gnumeric (ssconvert) is not installed (scripts/deps.sh installs it)");
    const auto item = ExportItems::item(QStringLiteral("Gear"), { " 2.41", "    OL", " 0.07" });
    const QString file = dir.filePath(QStringLiteral("gnumeric.xlsx"));
    QVERIFY(WorkbookExport().write(item.get(), headers, file).ok);
    QProcess convert;
    convert.start(ssconvert,
        { QStringLiteral("-S"), QStringLiteral("--export-type=Gnumeric_stf:stf_csv"), file,
            dir.filePath(QStringLiteral("gnumeric-%n.csv")) });
    QVERIFY(convert.waitForFinished(120000));
    QCOMPARE(convert.exitCode(), 0);
    QFile readings(dir.filePath(QStringLiteral("gnumeric-1.csv")));
    QVERIFY(readings.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(readings.readAll()).split(QLatin1Char('\n'));
    QVERIFY2(lines.value(0).startsWith(QStringLiteral("No.,Date/Time,Function,Value,Unit")),
        qPrintable(lines.value(0)));
    // gnumeric writes dates in its own form; what counts is the time to the millisecond.
    const QRegularExpression first(
        QStringLiteral("^1,\"?2026.12.08 14:05:00\\.125\"?,Vrms,2\\.41,cm/s,10-1kHz"));
    const QRegularExpression second(
        QStringLiteral("^2,\"?2026.12.08 14:05:00\\.375\"?,Vrms,OL,cm/s,10-1kHz"));
    QVERIFY2(first.match(lines.value(1)).hasMatch(), qPrintable(lines.value(1)));
    QVERIFY2(second.match(lines.value(2)).hasMatch(), qPrintable(lines.value(2)));
}

void WorkbookExportTest::notWritten_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("folder that cannot be made (below a file)") << "file.txt/readings.xlsx";
    QTest::newRow("full device") << "/dev/full";
}

void WorkbookExportTest::notWritten()
{
    QFETCH(QString, file);
    if (file.startsWith(QLatin1Char('/')) && !QFile::exists(file))
        QSKIP("no such device here");
    QFile blocker(dir.filePath(QStringLiteral("file.txt")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = file.startsWith(QLatin1Char('/')) ? file : dir.filePath(file);
    const auto item = ExportItems::item(QStringLiteral("Gear"), ExportItems::values(2000));
    const ExportResult result = WorkbookExport().write(item.get(), headers, path);
    QVERIFY(!result.ok);
    QVERIFY(!result.reason.isEmpty());
    if (!file.startsWith(QLatin1Char('/')))
        QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(WorkbookExportTest)
#include "tst_workbookexport.moc"

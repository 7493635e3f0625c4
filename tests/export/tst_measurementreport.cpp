// The measurement report read back with poppler's pdfinfo and pdftotext: page count, text on every
// page, and the words of the table inside their columns.
#include "exportitems.h"
#include "measurementreport.h"
#include "printchart.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pageCount(const QString& file)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                          .match(run(QStringLiteral("pdfinfo"), { file }));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pageText(const QString& file, int page)
{
    return run(QStringLiteral("pdftotext"),
        { QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page),
            QStringLiteral("-layout"), file, QStringLiteral("-") });
}

struct Word
{
    QString text;
    double xMin = 0;
    double xMax = 0;
    double yMin = 0;
};

// The words of a page with their boxes, in points from the page's top left.
QVector<Word> pageWords(const QString& file, int page)
{
    QVector<Word> words;
    QXmlStreamReader xml(run(QStringLiteral("pdftotext"),
        { QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page),
            QStringLiteral("-bbox"), file, QStringLiteral("-") }));
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement
            && xml.name() == QLatin1String("word")) {
            Word w;
            w.xMin = xml.attributes().value(QStringLiteral("xMin")).toDouble();
            w.xMax = xml.attributes().value(QStringLiteral("xMax")).toDouble();
            w.yMin = xml.attributes().value(QStringLiteral("yMin")).toDouble();
            w.text = xml.readElementText();
            words << w;
        }
    }
    return words;
}

// The numbers in the first column of a table page, top to bottom.
QList<int> rowNumbers(const QString& text)
{
    QList<int> numbers;
    const QRegularExpression row(QStringLiteral(
        "^\\s*(\\d+)\\s+\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\s+Vrms"));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = row.match(line);
        if (m.hasMatch())
            numbers << m.captured(1).toInt();
    }
    return numbers;
}

} // namespace

class MeasurementReportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pages_data();
    void pages();
    void firstPage_data();
    void firstPage();
    void columnsHoldTheirText();
    void notWritten_data();
    void notWritten();
    void valueStep_data();
    void valueStep();
    void timeTicks_data();
    void timeTicks();

private:
    QList<ColumnHeader*> headers;
    QTemporaryDir dir;
};

void MeasurementReportTest::initTestCase()
{
    QVERIFY(dir.isValid());
    headers = ExportItems::headers();
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("poppler-utils (pdfinfo, pdftotext) are not installed");
}

void MeasurementReportTest::cleanupTestCase()
{
    qDeleteAll(headers);
}

void MeasurementReportTest::pages_data()
{
    QTest::addColumn<int>("pagesOfRows");
    QTest::addColumn<int>("extraRows");
    QTest::addColumn<int>("pages");
    QTest::newRow("no readings: the first page only") << 0 << 0 << 1;
    QTest::newRow("one reading") << 0 << 1 << 2;
    QTest::newRow("exactly one table page") << 1 << 0 << 2;
    QTest::newRow("one row more than a page") << 1 << 1 << 3;
    QTest::newRow("three full table pages") << 3 << 0 << 4;
}

// "page i of n" on every page; every table page repeats the header; the rows continue from page
// to page without loss or repetition.
void MeasurementReportTest::pages()
{
    QFETCH(int, pagesOfRows);
    QFETCH(int, extraRows);
    QFETCH(int, pages);
    const int n = MeasurementReport(ExportItems::item("probe", {}).get(), headers).rowsPerPage();
    QVERIFY(n > 20);
    const int rows = pagesOfRows * n + extraRows;
    const auto item = ExportItems::item(QStringLiteral("Measure1"), ExportItems::values(rows));
    const MeasurementReport report(item.get(), headers);
    QCOMPARE(report.pageCount(), pages);
    const QString file = dir.filePath(QStringLiteral("report%1.pdf").arg(rows));
    const ExportResult result = report.write(file);
    QVERIFY2(result.ok, qPrintable(result.reason));
    QCOMPARE(pageCount(file), pages);

    int expected = 1;
    for (int page = 1; page <= pages; ++page) {
        const QString text = pageText(file, page);
        QVERIFY2(
            text.contains(QStringLiteral("page %1 of %2").arg(page).arg(pages)), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Measurement report: Measure1")));
        if (page == 1)
            continue;
        QVERIFY2(text.simplified().contains(
                     QStringLiteral("No. Date/Time Function Value Unit Frequency(Hz)")),
            qPrintable(text));
        const QList<int> numbers = rowNumbers(text);
        QCOMPARE(numbers.size(), std::min(n, rows - (page - 2) * n));
        for (int number : numbers)
            QCOMPARE(number, expected++);
    }
    QCOMPARE(expected, rows + 1);
}

void MeasurementReportTest::firstPage_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("machineClass");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("tableHeader");
    QTest::newRow("live, not graded")
        << int(ItemData::LiveMeasure) << int(SeverityZones::NoClass)
        << QStringList { "Pump 3 bearing", "Vrms", "10-1kHz", "cm/s",
               "Not graded: the item has no machine class.", "Readings 6", "Over range 1",
               "Maximum 2.41 cm/s", "2026-12-08 14:05:00.125 to 2026-12-08 14:05:01.375",
               "Time of the reading, by the computer's clock" }
        << "Date/Time";
    // 24.1 mm/s in class III (C/D 11.2) is zone D; the last graded reading, 0.6 mm/s, zone A.
    QTest::newRow("live, class III")
        << int(ItemData::LiveMeasure) << int(SeverityZones::Part1ClassIII)
        << QStringList { "ISO 10816-1 class III", "A/B 1.8, B/C 4.5, C/D 11.2",
               "Worst zone D: damage may occur", "Last zone A: new machine condition", "Zone A: 3",
               "Zone D: 1", "Alert level 0.50 cm/s" }
        << "Date/Time";
    QTest::newRow("store data") << int(ItemData::StoreData) << int(SeverityZones::NoClass)
                                << QStringList { "Time of the download", "(time of the download)" }
                                << "Date/Time (download)";
}

void MeasurementReportTest::firstPage()
{
    QFETCH(int, type);
    QFETCH(int, machineClass);
    QFETCH(QStringList, expected);
    QFETCH(QString, tableHeader);
    const auto item = ExportItems::item(QStringLiteral("Pump 3 bearing"),
        { " 2.41", "    OL", "0.10", "----", " 0.07", " 0.06" }, ItemData::DataType(type),
        SeverityZones::MachineClass(machineClass));
    ItemProperties properties = item->properties();
    properties.note = QStringLiteral("Motor drive end, horizontal");
    properties.alertLevel = 0.5;
    item->setProperties(properties);
    const QString file = dir.filePath(QStringLiteral("first%1.pdf").arg(QTest::currentDataTag()));
    QVERIFY(MeasurementReport(item.get(), headers).write(file).ok);
    const QString first = pageText(file, 1).simplified();
    QVERIFY2(first.contains(QStringLiteral("Motor drive end, horizontal")), qPrintable(first));
    for (const QString& text : expected)
        QVERIFY2(first.contains(text), qPrintable(text + QStringLiteral("\n---\n") + first));
    QVERIFY2(
        pageText(file, 2).simplified().contains(QStringLiteral("No. %1 Function").arg(tableHeader)),
        qPrintable(pageText(file, 2)));
}

// Every word of the table lies within its column: nothing is cut or runs into its neighbour,
// also for wide store numbers, long times and a zone column.
void MeasurementReportTest::columnsHoldTheirText()
{
    QStringList texts = ExportItems::values(80);
    texts[5] = QStringLiteral("   -OL");
    const auto item = ExportItems::item(
        QStringLiteral("Wide"), texts, ItemData::StoreData, SeverityZones::Part3Group1Flexible);
    const MeasurementReport report(item.get(), headers);
    const QString file = dir.filePath(QStringLiteral("columns.pdf"));
    QVERIFY(report.write(file).ok);
    QVector<qreal> edges { 42 };
    for (qreal w : report.columnWidths())
        edges << edges.last() + w;
    QCOMPARE(report.columnTitles().size(), 7);
    for (int page = 2; page <= report.pageCount(); ++page) {
        int inTable = 0;
        for (const Word& w : pageWords(file, page)) {
            if (w.yMin < 50 || w.xMin < edges.first() || w.xMax > edges.last())
                continue; // running head and footer
            ++inTable;
            for (qreal edge : edges)
                QVERIFY2(!(w.xMin < edge - 0.5 && w.xMax > edge + 0.5),
                    qPrintable(QStringLiteral("\"%1\" crosses %2").arg(w.text).arg(edge)));
        }
        QVERIFY(inTable > 0);
    }
}

void MeasurementReportTest::notWritten_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("folder below a file") << "file.txt/report.pdf";
    QTest::newRow("full device") << "/dev/full";
}

void MeasurementReportTest::notWritten()
{
    QFETCH(QString, file);
    if (file.startsWith(QLatin1Char('/')) && !QFile::exists(file))
        QSKIP("no such device here");
    QFile blocker(dir.filePath(QStringLiteral("file.txt")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = file.startsWith(QLatin1Char('/')) ? file : dir.filePath(file);
    const auto item = ExportItems::item(QStringLiteral("Gear"), ExportItems::values(500));
    const ExportResult result = MeasurementReport(item.get(), headers).write(path);
    QVERIFY(!result.ok);
    QVERIFY(!result.reason.isEmpty());
    if (!file.startsWith(QLatin1Char('/')))
        QVERIFY(!QFile::exists(path));
}

void MeasurementReportTest::valueStep_data()
{
    QTest::addColumn<double>("span");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<double>("step");
    QTest::newRow("1 in 6") << 1.0 << 6 << 0.2;
    QTest::newRow("exactly 5 ticks of 1") << 5.0 << 5 << 1.0;
    QTest::newRow("just over 5") << 5.1 << 5 << 2.0;
    QTest::newRow("small values") << 0.03 << 6 << 0.005;
    QTest::newRow("large") << 730.0 << 6 << 200.0;
    QTest::newRow("no span") << 0.0 << 6 << 0.0;
}

void MeasurementReportTest::valueStep()
{
    QFETCH(double, span);
    QFETCH(int, maxTicks);
    QFETCH(double, step);
    QVERIFY(qAbs(PrintChart::valueStep(span, maxTicks) - step) < 1e-12);
}

void MeasurementReportTest::timeTicks_data()
{
    QTest::addColumn<qint64>("spanMs");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<qint64>("step");
    QTest::addColumn<int>("ticks");
    QTest::newRow("10 s, 8 marks: every 2 s") << qint64(10000) << 8 << qint64(2000) << 5;
    QTest::newRow("an hour, 6 marks: every 15 min") << qint64(3600000) << 6 << qint64(900000) << 4;
    QTest::newRow("3 days, 6 marks: at midnight")
        << qint64(3 * 86400000LL) << 6 << qint64(86400000) << 3;
    QTest::newRow("60 days, 6 marks: whole days")
        << qint64(60 * 86400000LL) << 6 << qint64(11 * 86400000LL) << 5;
}

// Marks fall on whole local seconds, minutes, hours, never outside the span.
void MeasurementReportTest::timeTicks()
{
    QFETCH(qint64, spanMs);
    QFETCH(int, maxTicks);
    QFETCH(qint64, step);
    QFETCH(int, ticks);
    QCOMPARE(PrintChart::timeStep(spanMs, maxTicks), step);
    const qint64 first = ExportItems::start().toMSecsSinceEpoch(); // 14:05:00.125
    const QVector<qint64> marks = PrintChart::timeTicks(first, first + spanMs, step);
    QCOMPARE(marks.size(), ticks);
    for (qint64 t : marks) {
        QVERIFY(t >= first && t <= first + spanMs);
        const QTime time = QDateTime::fromMSecsSinceEpoch(t).time();
        QCOMPARE(time.msec(), 0);
        QCOMPARE((time.msecsSinceStartOfDay() % std::min<qint64>(step, 86400000)), 0);
    }
}

QTEST_MAIN(MeasurementReportTest)
#include "tst_measurementreport.moc"

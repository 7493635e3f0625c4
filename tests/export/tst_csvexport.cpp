// The CSV export read back with Python's csv module, cell by cell against the table it came from;
// and the same through the window's Export command with its "Table(CSV)" choice.
#include "columnheader.h"
#include "csvexport.h"
#include "datamodel.h"
#include "dlgexport.h"
#include "dmmdata.h"
#include "tablemodel.h"

#include "exporter.h"
#include "modaldriver.h"
#include "widget.h"

#include <QAction>
#include <QMessageBox>
#include <QRadioButton>
#include <QTableView>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct ReadBack
{
    bool ok = false;
    QString error;
    QVector<QStringList> rows;
    bool bom = false;
    bool crlf = false;
};

ReadBack readWithPython(const QString& path)
{
    ReadBack result;
    QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (QFile::exists(QStringLiteral("/usr/bin/python3")))
        python = QStringLiteral("/usr/bin/python3");
    QProcess process;
    process.start(python, { QStringLiteral(READCSV_SCRIPT), path });
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        result.error = QString::fromUtf8(process.readAllStandardError()) + process.errorString();
        return result;
    }
    const QJsonObject json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    for (const QJsonValue& row : json.value(QStringLiteral("rows")).toArray()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells << cell.toString();
        result.rows << cells;
    }
    result.bom = json.value(QStringLiteral("bom")).toBool();
    result.crlf = json.value(QStringLiteral("crlf")).toBool();
    result.ok = true;
    return result;
}

QList<ColumnHeader*> windowHeaders()
{
    return { new ColumnHeader { QStringLiteral("No."), 2 },
        new ColumnHeader { QStringLiteral("Date/Time"), 3 },
        new ColumnHeader { QStringLiteral("Function"), 3 },
        new ColumnHeader { QStringLiteral("Value"), 3 },
        new ColumnHeader { QStringLiteral("Unit"), 2 },
        new ColumnHeader { QStringLiteral("Frequency(Hz)"), 3 } };
}

// Compares the file, as Python reads it, with the model's display texts, cell by cell.
void compareWithTable(
    const ReadBack& csv, const QAbstractItemModel& model, const QList<ColumnHeader*>& headers)
{
    QVERIFY2(csv.ok, qPrintable(csv.error));
    QVERIFY(!csv.bom);
    QVERIFY(csv.crlf);
    QCOMPARE(csv.rows.size(), model.rowCount() + 1);
    QStringList titles;
    for (const ColumnHeader* h : headers)
        titles << h->title;
    QCOMPARE(csv.rows.first(), titles);
    for (int row = 0; row < model.rowCount(); ++row) {
        QCOMPARE(csv.rows.at(row + 1).size(), headers.size());
        const auto* table = qobject_cast<const DataModel*>(&model);
        for (int column = 0; column < headers.size(); ++column) {
            // The table shows whole seconds; the file keeps the milliseconds.
            const QString expected = column == 1 && table
                ? table->reading(row)->dateTime().toString(
                    QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                : model.index(row, column).data().toString();
            if (csv.rows.at(row + 1).at(column) != expected)
                QFAIL(qPrintable(QStringLiteral("row %1 column %2: \"%3\", table \"%4\"")
                                     .arg(row)
                                     .arg(column)
                                     .arg(csv.rows.at(row + 1).at(column), expected)));
        }
    }
}

} // namespace

class CsvExportTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void fieldQuoting_data();
    void fieldQuoting();
    void roundTrip_data();
    void roundTrip();
    void realReadings();
    void largerThanASheet();
    void datesAsIso();
    void failedWriteKeepsTheOldFile();
    void dialogOffersCsv();
    void windowExport();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void CsvExportTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void CsvExportTest::fieldQuoting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "12.34"
                           << "12.34";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("leading blank kept") << " 0.50"
                                        << " 0.50";
    QTest::newRow("comma") << "1,5"
                           << "\"1,5\"";
    QTest::newRow("quote") << "say \"hi\""
                           << "\"say \"\"hi\"\"\"";
    QTest::newRow("line feed") << "a\nb"
                               << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb"
                                     << "\"a\rb\"";
    QTest::newRow("semicolon is no separator") << "a;b"
                                               << "a;b";
    QTest::newRow("non-ASCII") << "m/S²"
                               << "m/S²";
}

void CsvExportTest::fieldQuoting()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QCOMPARE(CsvExport::field(text), field);
}

void CsvExportTest::roundTrip_data()
{
    QTest::addColumn<QVector<QVariantList>>("rows");
    const QString date = QStringLiteral("2026-12-07 08:00:00");
    QTest::newRow("empty table") << QVector<QVariantList>();
    QTest::newRow("readings") << QVector<QVariantList> {
        { 1, date, "Vrms", "12.34", "cm/s", "10-1kHz" },
        { 2, "2026-12-07 08:00:01", "Dp-p", " 0.50", "mm", "10-500Hz" },
        { 3, "2026-12-07 08:00:02", "Ap", "-1.5", "m/S2", "10-10kHz" },
    };
    QTest::newRow("texts needing quotes") << QVector<QVariantList> {
        { 1, date, "a,b", "\"quoted\"", "two\r\nlines", "" },
        { 2, date, "", "", "", "" },
    };
    QTest::newRow("non-ASCII") << QVector<QVariantList> {
        { 1, date, "Vrms", "µ", "m/S²", "10–1kHz" },
        { 2, date, "振动", "ü", "€", "😀" },
    };
    QTest::newRow("overload and blank displays")
        << QVector<QVariantList> { { 1, date, "Vrms", "    OL", "cm/s", "10-1kHz" },
               { 2, date, "Vrms", "   -OL", "cm/s", "10-1kHz" },
               { 3, date, "Vrms", "     ", "cm/s", "10-1kHz" } };
}

void CsvExportTest::roundTrip()
{
    QFETCH(QVector<QVariantList>, rows);
    const QList<ColumnHeader*> headers = windowHeaders();
    TableModel model(rows);
    const QString path = dir->filePath(QStringLiteral("table.csv"));
    QVERIFY(CsvExport::write(&model, headers, path));
    compareWithTable(readWithPython(path), model, headers);
    qDeleteAll(headers);
}

void CsvExportTest::realReadings()
{
    // The window's own model over readings as the meter link makes them.
    const QList<ColumnHeader*> headers = windowHeaders();
    DataModel model(headers);
    QList<DmmData*> readings;
    const char* units[] = { "cm/s", "mm", "m/S2" };
    for (int i = 0; i < 25; ++i) {
        auto* d = new DmmData;
        d->setDateTime(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59)).addMSecs(250 * i));
        d->addText(QString::number(i * 1.25, 'f', 2).rightJustified(5));
        d->addValue(i * 1.25);
        d->setUnit(1 << (i % 3), QLatin1String(units[i % 3]));
        d->setDetection(i % 2 ? QStringLiteral("Ap") : QStringLiteral("Vrms"));
        d->setBand(QStringLiteral("10-1kHz"));
        readings << d;
        model.appendReading(d);
    }
    const QString path = dir->filePath(QStringLiteral("readings.csv"));
    QVERIFY(CsvExport::write(&model, headers, path));
    const ReadBack csv = readWithPython(path);
    compareWithTable(csv, model, headers);
    // Four readings a second, each with its own time, across midnight.
    QCOMPARE(csv.rows.value(2).value(1), QStringLiteral("2026-12-07 23:59:59.250"));
    QCOMPARE(csv.rows.value(5).value(1), QStringLiteral("2026-12-08 00:00:00.000"));
    model.clear();
    qDeleteAll(readings);
    qDeleteAll(headers);
}

void CsvExportTest::largerThanASheet()
{
    // More rows than a spreadsheet sheet holds: CSV keeps every one of them.
    const QList<ColumnHeader*> headers = windowHeaders();
    TableModel model(70000);
    const QString path = dir->filePath(QStringLiteral("large.csv"));
    QVERIFY(CsvExport::write(&model, headers, path));
    const ReadBack csv = readWithPython(path);
    QVERIFY2(csv.ok, qPrintable(csv.error));
    QCOMPARE(csv.rows.size(), 70001);
    QCOMPARE(csv.rows.last(),
        (QStringList { "70000", "2026-12-08 03:26:39", "Vrms", "99.9", "mm", "10-1kHz" }));
    qDeleteAll(headers);
}

void CsvExportTest::datesAsIso()
{
    // A model that hands out date values still gives ISO dates, with milliseconds.
    const QList<ColumnHeader*> headers = windowHeaders();
    TableModel model(QVector<QVariantList> {
        { 1, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), "Vrms", "1.00", "mm", "10-1kHz" } });
    const ReadBack csv = readWithPython([&] {
        const QString path = dir->filePath(QStringLiteral("dates.csv"));
        CsvExport::write(&model, headers, path);
        return path;
    }());
    QVERIFY2(csv.ok, qPrintable(csv.error));
    QCOMPARE(csv.rows.value(1).value(1), QStringLiteral("2026-01-02 03:04:05.000"));
    qDeleteAll(headers);
}

void CsvExportTest::failedWriteKeepsTheOldFile()
{
    const QList<ColumnHeader*> headers = windowHeaders();
    TableModel model(3);
    QVERIFY(!CsvExport::write(&model, headers, dir->filePath(QStringLiteral("no/such/dir/t.csv"))));
    QVERIFY(!CsvExport::write(nullptr, headers, dir->filePath(QStringLiteral("null.csv"))));
    QVERIFY(!QFile::exists(dir->filePath(QStringLiteral("null.csv"))));

    // A device is written in place, never replaced by a file; a full one is a failure.
    if (QFile::exists(QStringLiteral("/dev/full")))
        QVERIFY(!CsvExport::write(&model, headers, QStringLiteral("/dev/full")));
    if (QFile::exists(QStringLiteral("/dev/null"))) {
        QVERIFY(CsvExport::write(&model, headers, QStringLiteral("/dev/null")));
        QVERIFY(!QFileInfo(QStringLiteral("/dev/null")).isFile()); // still the device
    }

    // Replacing: the new table as a whole, nothing of the longer old file left behind.
    const QString path = dir->filePath(QStringLiteral("replace.csv"));
    TableModel longer(50);
    QVERIFY(CsvExport::write(&longer, headers, path));
    QVERIFY(CsvExport::write(&model, headers, path));
    compareWithTable(readWithPython(path), model, headers);
    qDeleteAll(headers);
}

void CsvExportTest::dialogOffersCsv()
{
    dlgExport dialog;
    dialog.show();
    auto* csv = dialog.findChild<QRadioButton*>(QStringLiteral("rbCsv"));
    QVERIFY(csv);
    QVERIFY(csv->isVisible());
    QCOMPARE(csv->text(), QStringLiteral("Table(CSV)"));
    QCOMPARE(dialog.exportKind(), int(dlgExport::Table));
    csv->setChecked(true);
    QCOMPARE(dialog.exportKind(), 3);
    QCOMPARE(int(dlgExport::Csv), 3);
    dialog.findChild<QRadioButton*>(QStringLiteral("rbTable"))->setChecked(true);
    QCOMPARE(dialog.exportKind(), int(dlgExport::Table));
}

void CsvExportTest::windowExport()
{
    Widget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QMetaObject::invokeMethod(&w, "on_actionStart_triggered", Qt::DirectConnection);
    for (int i = 0; i < 12; ++i) {
        auto* d = new DmmData;
        d->setDateTime(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)).addSecs(i));
        d->addText(QString::number(i * 0.5 - 2, 'f', 2).rightJustified(5));
        d->addValue(i * 0.5 - 2);
        d->setUnit(2, QStringLiteral("cm/s"));
        d->setDetection(QStringLiteral("Vrms"));
        d->setBand(QStringLiteral("10-1kHz"));
        QMetaObject::invokeMethod(
            &w, "slotDmmDisplay", Qt::DirectConnection, Q_ARG(const DmmData*, d));
    }
    const QAbstractItemModel* table = w.findChild<QTableView*>(QStringLiteral("tv"))->model();
    QCOMPARE(table->rowCount(), 12);

    // A name without an extension gets ".csv".
    const QString chosen = dir->filePath(QStringLiteral("window"));
    QString filters;
    QString message;
    ModalDriver driver;
    driver.expect([](QWidget* dialog) {
        dialog->findChild<QRadioButton*>(QStringLiteral("rbCsv"))->setChecked(true);
        static_cast<QDialog*>(dialog)->accept();
    });
    w.findChild<Exporter*>()->setFileNameAsker(
        [&](QWidget*, const QString&, const QString&, const QString& filter) {
            filters = filter;
            return chosen;
        });
    driver.expect([&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        QVERIFY(box);
        message = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    w.findChild<QAction*>(QStringLiteral("actionExport"))->trigger();
    QVERIFY(driver.waitAllAnswered());
    QCOMPARE(filters, QStringLiteral("CSV File(*.csv)"));
    QCOMPARE(message, QStringLiteral("The datas is exported successfully."));

    QList<ColumnHeader*> titles;
    for (int column = 0; column < table->columnCount(); ++column)
        titles << new ColumnHeader { table->headerData(column, Qt::Horizontal).toString(), 1 };
    compareWithTable(readWithPython(chosen + QStringLiteral(".csv")), *table, titles);
    qDeleteAll(titles);
}

QTEST_MAIN(CsvExportTest)
#include "tst_csvexport.moc"

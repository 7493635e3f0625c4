#include "columnheader.h"
#include "tablemodel.h"
#include "workbookautomation.h"
#include "xlsexport.h"
#include "xlsreader.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// What the export asked of the automation layer, in order.
struct CallLog
{
    QStringList calls;
    bool bind = true;
    bool saveResult = true;
    QByteArray missingObject; // querySubObject of this name gives no object
    QVariant values; // the last value list put into a range
    int alive = 0;
};

QString argsText(std::initializer_list<const QVariant*> args)
{
    QStringList parts;
    for (const QVariant* v : args) {
        if (!v->isValid())
            break;
        if (v->type() == QVariant::List)
            parts << QStringLiteral("list(%1)").arg(v->toList().size());
        else if (v->type() == QVariant::Bool)
            parts << (v->toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        else
            parts << v->toString();
    }
    return parts.join(QLatin1Char(','));
}

// A recording stand-in for the spreadsheet server's object model.
class FakeAutomation : public AutomationObject
{
public:
    FakeAutomation(const QString& name, std::shared_ptr<CallLog> log, QObject* parent = nullptr)
        : AutomationObject(parent)
        , name(name)
        , log(std::move(log))
    {
        ++this->log->alive;
    }
    ~FakeAutomation() override { --log->alive; }

    bool setControl(const QString& progId) override
    {
        log->calls << QStringLiteral("setControl %1").arg(progId);
        return log->bind;
    }
    QVariant dynamicCall(const char* function, const QVariant& v1, const QVariant& v2,
        const QVariant& v3, const QVariant& v4, const QVariant& v5, const QVariant& v6,
        const QVariant& v7, const QVariant& v8) override
    {
        log->calls << QStringLiteral("%1.%2[%3]")
                          .arg(
                              name, function, argsText({ &v1, &v2, &v3, &v4, &v5, &v6, &v7, &v8 }));
        if (QByteArray(function).startsWith("SaveAs"))
            return log->saveResult;
        return QVariant();
    }
    AutomationObject* querySubObject(const char* sub, const QVariant& v1, const QVariant& v2,
        const QVariant& v3, const QVariant& v4, const QVariant& v5, const QVariant& v6,
        const QVariant& v7, const QVariant& v8) override
    {
        log->calls << QStringLiteral("%1>%2[%3]")
                          .arg(name, sub, argsText({ &v1, &v2, &v3, &v4, &v5, &v6, &v7, &v8 }));
        if (log->missingObject == sub)
            return nullptr;
        QString subName = QString::fromLatin1(sub);
        subName.truncate(subName.indexOf(QLatin1Char('(')) < 0 ? subName.size()
                                                               : subName.indexOf(QLatin1Char('(')));
        return new FakeAutomation(subName, log, this);
    }
    bool setProperty(const char* property, const QVariant& value) override
    {
        log->calls << QStringLiteral("%1.%2=%3").arg(name, property, argsText({ &value }));
        if (QByteArray(property) == "Value")
            log->values = value;
        return true;
    }

private:
    QString name;
    std::shared_ptr<CallLog> log;
};

QList<ColumnHeader*> tableHeaders()
{
    return { new ColumnHeader { QStringLiteral("No."), 2 },
        new ColumnHeader { QStringLiteral("Date/Time"), 3 },
        new ColumnHeader { QStringLiteral("Function"), 3 },
        new ColumnHeader { QStringLiteral("Value"), 3 },
        new ColumnHeader { QStringLiteral("Unit"), 2 },
        new ColumnHeader { QStringLiteral("Frequency(Hz)"), 3 } };
}

QJsonObject cellOf(const QJsonObject& sheet, int row, int column)
{
    return sheet.value(QStringLiteral("rows"))
        .toObject()
        .value(QString::number(row))
        .toArray()
        .at(column)
        .toObject();
}

} // namespace

class XlsExportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void callSequence_data();
    void callSequence();
    void failures_data();
    void failures();
    void refusesTooManyRows();
    void columnNames_data();
    void columnNames();
    void readBack();
    void emptyTable();
    void fullSheet();
    void manySharedStrings();
    void cellSemantics_data();
    void cellSemantics();
    void saveAsFailures_data();
    void saveAsFailures();

private:
    QList<ColumnHeader*> headers;
    QTemporaryDir dir;
    bool haveXlrd = false;
};

void XlsExportTest::initTestCase()
{
    QVERIFY(dir.isValid());
    headers = tableHeaders();
    haveXlrd = xlrdAvailable();
}

void XlsExportTest::cleanupTestCase()
{
    qDeleteAll(headers);
}

void XlsExportTest::callSequence_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("lastRow");
    QTest::newRow("empty table ends the ranges in row 1") << 0 << "1";
    QTest::newRow("three readings") << 3 << "4";
}

// The strings, arguments and order are what a COM spreadsheet server is driven with.
void XlsExportTest::callSequence()
{
    QFETCH(int, rows);
    QFETCH(QString, lastRow);
    auto log = std::make_shared<CallLog>();
    XlsExport exporter(
        [log] { return std::make_unique<FakeAutomation>(QStringLiteral("app"), log); });
    TableModel model(rows);
    const QString file = dir.filePath(QStringLiteral("calls.xls"));

    QCOMPARE(exporter.write(&model, headers, file), XlsExport::Succeeded);

    QStringList expected { QStringLiteral("setControl Excel.Application"),
        QStringLiteral("app.SetVisible(bool)[false]"), QStringLiteral("app.DisplayAlerts=false"),
        QStringLiteral("app>Workbooks[]"), QStringLiteral("Workbooks.Add[]"),
        QStringLiteral("app>ActiveWorkBook[]"), QStringLiteral("ActiveWorkBook>Sheets[]"),
        QStringLiteral("Sheets>Item(int)[1]") };
    for (int i = 0; i < headers.size(); ++i) {
        expected << QStringLiteral("Item>Cells(int,int)[1,%1]").arg(i + 1)
                 << QStringLiteral("Cells.Value[%1]").arg(headers.at(i)->title);
    }
    expected << QStringLiteral("Item>Range(const QString&)[B2:B%1]").arg(lastRow)
             << QStringLiteral("Range.SetNumberFormat(const QString&)[yyyy-MM-dd hh:mm:ss]")
             << QStringLiteral("Item>Range(const QString&)[C2:F%1]").arg(lastRow)
             << QStringLiteral("Range.SetNumberFormat(const QString&)[@]")
             << QStringLiteral("Item>Range(const QString&)[A2:F%1]").arg(lastRow)
             << QStringLiteral("Range.Value=list(%1)").arg(rows)
             << QStringLiteral("Item>UsedRange[]") << QStringLiteral("UsedRange>Columns[]")
             << QStringLiteral("Columns.AutoFit[]")
             << QStringLiteral("ActiveWorkBook.SaveAs(const QString "
                               "&,int,QString,QString,bool,bool)[%1,-4143,,,false,false]")
                    .arg(QDir::toNativeSeparators(file))
             << QStringLiteral("ActiveWorkBook.Close(Boolean)[false]")
             << QStringLiteral("app.Quit(void)[]");
    QCOMPARE(log->calls, expected);
    QCOMPARE(log->alive, 0);

    // Values go as the model gives them: the number as an integer, the rest as text.
    const QVariantList values = log->values.toList();
    QCOMPARE(values.size(), rows);
    for (int r = 0; r < rows; ++r) {
        const QVariantList row = values.at(r).toList();
        QCOMPARE(row.size(), 6);
        QCOMPARE(row.at(0).type(), QVariant::Int);
        QCOMPARE(row.at(0).toInt(), r + 1);
        for (int c = 1; c < 6; ++c)
            QCOMPARE(row.at(c).type(), QVariant::String);
    }
}

void XlsExportTest::failures_data()
{
    QTest::addColumn<bool>("bind");
    QTest::addColumn<bool>("saveResult");
    QTest::addColumn<QByteArray>("missing");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("saveCalled");
    QTest::addColumn<bool>("closedAndQuit");
    QTest::newRow("no server") << false << true << QByteArray() << int(XlsExport::NoServer) << false
                               << false;
    QTest::newRow("save refused") << true << false << QByteArray() << int(XlsExport::Failed) << true
                                  << true;
    QTest::newRow("no worksheet") << true << true << QByteArray("Item(int)")
                                  << int(XlsExport::Failed) << false << true;
    QTest::newRow("no range") << true << true << QByteArray("Range(const QString&)")
                              << int(XlsExport::Failed) << false << true;
}

void XlsExportTest::failures()
{
    QFETCH(bool, bind);
    QFETCH(bool, saveResult);
    QFETCH(QByteArray, missing);
    QFETCH(int, result);
    QFETCH(bool, saveCalled);
    QFETCH(bool, closedAndQuit);
    auto log = std::make_shared<CallLog>();
    log->bind = bind;
    log->saveResult = saveResult;
    log->missingObject = missing;
    XlsExport exporter(
        [log] { return std::make_unique<FakeAutomation>(QStringLiteral("app"), log); });
    TableModel model(2);

    QCOMPARE(int(exporter.write(&model, headers, dir.filePath(QStringLiteral("f.xls")))), result);
    const QString calls = log->calls.join(QLatin1Char('\n'));
    QCOMPARE(calls.contains(QLatin1String("SaveAs")), saveCalled);
    // A started server is always told to close the workbook and quit.
    QCOMPARE(calls.contains(QLatin1String("ActiveWorkBook.Close(Boolean)[false]")), closedAndQuit);
    QCOMPARE(log->calls.last() == QLatin1String("app.Quit(void)[]"), closedAndQuit);
    QCOMPARE(log->alive, 0);
}

void XlsExportTest::refusesTooManyRows()
{
    auto log = std::make_shared<CallLog>();
    int made = 0;
    XlsExport exporter([log, &made] {
        ++made;
        return std::make_unique<FakeAutomation>(QStringLiteral("app"), log);
    });
    TableModel model(XlsExport::maxRows + 1);
    const QString file = dir.filePath(QStringLiteral("toolarge.xls"));
    QCOMPARE(exporter.write(&model, headers, file), XlsExport::TooManyRows);
    QCOMPARE(made, 0);
    QVERIFY(!QFile::exists(file));

    // The real component refuses too, and leaves no file.
    QCOMPARE(XlsExport().write(&model, headers, file), XlsExport::TooManyRows);
    QVERIFY(!QFile::exists(file));
}

void XlsExportTest::columnNames_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::newRow("first") << 1 << "A";
    QTest::newRow("sixth") << 6 << "F";
    QTest::newRow("last single letter") << 26 << "Z";
    QTest::newRow("first double letter") << 27 << "AA";
    QTest::newRow("AZ") << 52 << "AZ";
    QTest::newRow("last column of a sheet") << 256 << "IV";
}

void XlsExportTest::columnNames()
{
    QFETCH(int, column);
    QFETCH(QString, name);
    QCOMPARE(XlsExport::columnName(column), name);
}

void XlsExportTest::readBack()
{
    if (!haveXlrd)
        QSKIP("python3-xlrd is not installed");
    const QString unicode = QStringLiteral("Schwingung \u00e4\u00f6\u00fc \u632f\u52a8 \u00b5m");
    TableModel model(QVector<QVariantList> {
        { 1, QStringLiteral("2026-12-07 08:00:00"), QStringLiteral("Vrms"), QStringLiteral("12.34"),
            QStringLiteral("mm"), QStringLiteral("10-1kHz") },
        { 2, QStringLiteral("2026-12-07 08:00:01"), QStringLiteral("Ap"), QStringLiteral("0.0"),
            QStringLiteral("m/S2"), QStringLiteral("10-10kHz") },
        { 17, QStringLiteral("2026-12-31 23:59:59"), QStringLiteral("Dp-p"), unicode,
            QStringLiteral("cm/s"), QStringLiteral("10-500Hz") } });
    const QString file = dir.filePath(QStringLiteral("table.xls"));
    QCOMPARE(XlsExport().write(&model, headers, file), XlsExport::Succeeded);

    QString error;
    const QJsonObject book = readXls(file, 1000, &error);
    QVERIFY2(!book.isEmpty(), qPrintable(error));
    const QJsonObject sheet = book.value(QStringLiteral("sheets")).toArray().at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), 4);
    QCOMPARE(sheet.value(QStringLiteral("ncols")).toInt(), 6);
    for (int c = 0; c < headers.size(); ++c) {
        QCOMPARE(
            cellOf(sheet, 0, c).value(QStringLiteral("type")).toString(), QStringLiteral("text"));
        QCOMPARE(
            cellOf(sheet, 0, c).value(QStringLiteral("value")).toString(), headers.at(c)->title);
    }
    for (int r = 1; r <= 3; ++r) {
        const QJsonObject number = cellOf(sheet, r, 0);
        QCOMPARE(number.value(QStringLiteral("type")).toString(), QStringLiteral("number"));
        QCOMPARE(number.value(QStringLiteral("value")).toDouble(),
            model.data(model.index(r - 1, 0), Qt::DisplayRole).toDouble());

        const QJsonObject date = cellOf(sheet, r, 1);
        QCOMPARE(date.value(QStringLiteral("type")).toString(), QStringLiteral("xldate"));
        QCOMPARE(
            date.value(QStringLiteral("format")).toString(), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        const QJsonArray t = date.value(QStringLiteral("value")).toArray();
        const QDateTime read(QDate(t.at(0).toInt(), t.at(1).toInt(), t.at(2).toInt()),
            QTime(t.at(3).toInt(), t.at(4).toInt(), t.at(5).toInt()));
        QCOMPARE(read.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
            model.data(model.index(r - 1, 1), Qt::DisplayRole).toString());

        for (int c = 2; c < 6; ++c) {
            const QJsonObject text = cellOf(sheet, r, c);
            QCOMPARE(text.value(QStringLiteral("type")).toString(), QStringLiteral("text"));
            QCOMPARE(text.value(QStringLiteral("format")).toString(), QStringLiteral("@"));
            QCOMPARE(text.value(QStringLiteral("value")).toString(),
                model.data(model.index(r - 1, c), Qt::DisplayRole).toString());
        }
    }
    // AutoFit: the date column is wide enough for its 19 characters, wider than the number column.
    const QJsonObject widths = sheet.value(QStringLiteral("widths")).toObject();
    QVERIFY(widths.value(QStringLiteral("1")).toInt() >= 19 * 256);
    QVERIFY(widths.value(QStringLiteral("1")).toInt() > widths.value(QStringLiteral("0")).toInt());
}

void XlsExportTest::emptyTable()
{
    if (!haveXlrd)
        QSKIP("python3-xlrd is not installed");
    TableModel model(0);
    const QString file = dir.filePath(QStringLiteral("empty.xls"));
    QCOMPARE(XlsExport().write(&model, headers, file), XlsExport::Succeeded);
    const QJsonObject book = readXls(file);
    const QJsonObject sheet = book.value(QStringLiteral("sheets")).toArray().at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), 1);
    for (int c = 0; c < headers.size(); ++c)
        QCOMPARE(
            cellOf(sheet, 0, c).value(QStringLiteral("value")).toString(), headers.at(c)->title);
}

void XlsExportTest::fullSheet()
{
    if (!haveXlrd)
        QSKIP("python3-xlrd is not installed");
    TableModel model(XlsExport::maxRows);
    const QString file = dir.filePath(QStringLiteral("full.xls"));
    QCOMPARE(XlsExport().write(&model, headers, file), XlsExport::Succeeded);
    const QJsonObject book = readXls(file, 3);
    const QJsonObject sheet = book.value(QStringLiteral("sheets")).toArray().at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), 65536);
    QCOMPARE(cellOf(sheet, 65535, 0).value(QStringLiteral("value")).toDouble(), 65535.0);
    QCOMPARE(cellOf(sheet, 65535, 5).value(QStringLiteral("value")).toString(),
        QStringLiteral("10-1kHz"));
    const QJsonArray t = cellOf(sheet, 65535, 1).value(QStringLiteral("value")).toArray();
    const QDateTime expected = TableModel::generatedTime(65534);
    QCOMPARE(QDateTime(QDate(t.at(0).toInt(), t.at(1).toInt(), t.at(2).toInt()),
                 QTime(t.at(3).toInt(), t.at(4).toInt(), t.at(5).toInt()), Qt::UTC),
        expected);
}

// Thousands of distinct texts of every length, one-byte and two-byte, so that the shared string
// table runs over many records with strings and string headers falling on every boundary.
void XlsExportTest::manySharedStrings()
{
    if (!haveXlrd)
        QSKIP("python3-xlrd is not installed");
    QVector<QVariantList> rows;
    for (int r = 0; r < 3000; ++r) {
        QString text = QString::number(r) + QLatin1Char(':');
        const QChar fill = r % 3 == 0 ? QChar(0x3042 + r % 80) : QChar('a' + r % 26);
        text += QString(r % 41, fill);
        rows.append({ r + 1, QStringLiteral("2026-12-07 08:00:00"), text, QStringLiteral("1.0"),
            QStringLiteral("mm"), QStringLiteral("10-1kHz") });
    }
    TableModel model(rows);
    const QString file = dir.filePath(QStringLiteral("strings.xls"));
    QCOMPARE(XlsExport().write(&model, headers, file), XlsExport::Succeeded);
    QString error;
    const QJsonObject book = readXls(file, 4000, &error);
    QVERIFY2(!book.isEmpty(), qPrintable(error));
    const QJsonObject sheet = book.value(QStringLiteral("sheets")).toArray().at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), 3001);
    for (int r = 0; r < rows.size(); ++r)
        QCOMPARE(cellOf(sheet, r + 1, 2).value(QStringLiteral("value")).toString(),
            rows.at(r).at(2).toString());
}

void XlsExportTest::cellSemantics_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("shown");

    QTest::newRow("integer") << QVariant(42) << ""
                             << "number"
                             << "42.0";
    QTest::newRow("double") << QVariant(-1.25) << ""
                            << "number"
                            << "-1.25";
    QTest::newRow("numeric text in a general cell") << QVariant("12.5") << ""
                                                    << "number"
                                                    << "12.5";
    QTest::newRow("numeric text in a text cell") << QVariant("12.5") << "@"
                                                 << "text"
                                                 << "12.5";
    QTest::newRow("date text in a date cell")
        << QVariant("2026-12-07 08:09:10") << "yyyy-MM-dd hh:mm:ss"
        << "xldate"
        << "[2026, 12, 7, 8, 9, 10]";
    QTest::newRow("date text in a general cell stays text") << QVariant("2026-12-07 08:09:10") << ""
                                                            << "text"
                                                            << "2026-12-07 08:09:10";
    QTest::newRow("date text in a text cell") << QVariant("2026-12-07 08:09:10") << "@"
                                              << "text"
                                              << "2026-12-07 08:09:10";
    QTest::newRow("date before 1900 stays text")
        << QVariant("1899-01-01 00:00:00") << "yyyy-MM-dd hh:mm:ss"
        << "text"
        << "1899-01-01 00:00:00";
    QTest::newRow("first day after the 1900 leap day")
        << QVariant("1900-03-01 12:00:00") << "yyyy-MM-dd hh:mm:ss"
        << "xldate"
        << "[1900, 3, 1, 12, 0, 0]";
    QTest::newRow("date-time value")
        << QVariant(QDateTime(QDate(2000, 1, 2), QTime(3, 4, 5))) << "yyyy-MM-dd hh:mm:ss"
        << "xldate"
        << "[2000, 1, 2, 3, 4, 5]";
    QTest::newRow("boolean") << QVariant(true) << ""
                             << "bool"
                             << "1";
    QTest::newRow("empty text leaves the cell empty") << QVariant(QString()) << "@"
                                                      << "empty"
                                                      << "";
    QTest::newRow("long latin text across records")
        << QVariant(QString(20000, QLatin1Char('x')) + QStringLiteral("end")) << "@"
        << "text" << QString(20000, QLatin1Char('x')) + QStringLiteral("end");
    QString wide;
    for (int i = 0; i < 9000; ++i)
        wide += QChar(0x4E00 + i % 500);
    QTest::newRow("long unicode text across records") << QVariant(wide) << "@"
                                                      << "text" << wide;
}

// Cell semantics of the in-process component, checked through an independent reader.
void XlsExportTest::cellSemantics()
{
    if (!haveXlrd)
        QSKIP("python3-xlrd is not installed");
    QFETCH(QVariant, value);
    QFETCH(QString, format);
    QFETCH(QString, type);
    QFETCH(QString, shown);

    WorkbookAutomation server;
    QVERIFY(server.setControl(QStringLiteral("Excel.Application")));
    AutomationObject* books = server.querySubObject("Workbooks");
    QVERIFY(books);
    books->dynamicCall("Add");
    AutomationObject* book = server.querySubObject("ActiveWorkBook");
    QVERIFY(book);
    AutomationObject* sheet = book->querySubObject("Sheets")->querySubObject("Item(int)", 1);
    QVERIFY(sheet);
    // A second cell keeps the table from being empty when the tested one is.
    sheet->querySubObject("Cells(int,int)", 2, 2)->dynamicCall("Value", QStringLiteral("x"));
    if (!format.isEmpty())
        sheet->querySubObject("Range(const QString&)", QStringLiteral("A1"))
            ->dynamicCall("SetNumberFormat(const QString&)", format);
    sheet->querySubObject("Range(const QString&)", QStringLiteral("A1:A1"))
        ->setProperty("Value", value);
    const QString file = dir.filePath(QStringLiteral("cell.xls"));
    QVERIFY(book->dynamicCall("SaveAs(const QString &,int,QString,QString,bool,bool)", file, -4143,
                    QString(), QString(), false, false)
                .toBool());

    QString error;
    const QJsonObject read = readXls(file, 10, &error);
    QVERIFY2(!read.isEmpty(), qPrintable(error));
    const QJsonObject cell
        = cellOf(read.value(QStringLiteral("sheets")).toArray().at(0).toObject(), 0, 0);
    // A cell without a record reads as empty.
    QCOMPARE(
        cell.isEmpty() ? QStringLiteral("empty") : cell.value(QStringLiteral("type")).toString(),
        type);
    const QJsonValue v = cell.value(QStringLiteral("value"));
    QString text;
    if (v.isArray()) {
        QStringList parts;
        for (const QJsonValue& part : v.toArray())
            parts << QString::number(part.toInt());
        text = QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
    } else if (v.isDouble()) {
        text = QString::number(v.toDouble());
        if (type == QLatin1String("number") && !text.contains(QLatin1Char('.')))
            text += QStringLiteral(".0");
    } else {
        text = v.toString();
    }
    QCOMPARE(text, shown);
}

void XlsExportTest::saveAsFailures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("format");
    QTest::newRow("format the component cannot write") << "book.xlsx" << 51;
    QTest::newRow("missing folder") << "no/such/folder/book.xls" << -4143;
}

void XlsExportTest::saveAsFailures()
{
    QFETCH(QString, file);
    QFETCH(int, format);
    WorkbookAutomation server;
    QVERIFY(!server.setControl(QStringLiteral("Other.Application")));
    QVERIFY(!server.querySubObject("Workbooks"));
    QVERIFY(server.setControl(QStringLiteral("Excel.Application")));
    server.querySubObject("Workbooks")->dynamicCall("Add");
    QCOMPARE(server.workbookCount(), 1);
    AutomationObject* book = server.querySubObject("ActiveWorkBook");
    const QString path = dir.filePath(file);
    QVERIFY(!book->dynamicCall("SaveAs(const QString &,int,QString,QString,bool,bool)", path,
                     format, QString(), QString(), false, false)
                 .toBool());
    QVERIFY(!QFile::exists(path));
    book->dynamicCall("Close(Boolean)", false);
    QCOMPARE(server.workbookCount(), 0);
    QVERIFY(!server.querySubObject("ActiveWorkBook"));
}

QTEST_GUILESS_MAIN(XlsExportTest)
#include "tst_xlsexport.moc"

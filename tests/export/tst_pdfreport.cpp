#include "columnheader.h"
#include "pdfreport.h"
#include "tablemodel.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Rows per table page from the report's rule: the page height less five line heights, in line
// heights of twice the painter's default font height on an A4 writer.
int rowsPerPage()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&writer);
    const int L = 2 * painter.fontMetrics().height();
    const int n = (writer.height() - 5 * L) / L;
    painter.end();
    return n;
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
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

// The numbers in the first column of a table page, top to bottom.
QList<int> rowNumbers(const QString& text)
{
    QList<int> numbers;
    const QRegularExpression row(
        QStringLiteral("^\\s*(\\d+)\\s+\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\s+Vrms"));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = row.match(line);
        if (m.hasMatch())
            numbers << m.captured(1).toInt();
    }
    return numbers;
}

} // namespace

class PdfReportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pages_data();
    void pages();
    void unwritableFile();
    void cellText_data();
    void cellText();

private:
    QList<ColumnHeader*> headers;
    QTemporaryDir dir;
    int n = 0;
};

void PdfReportTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("poppler-utils (pdfinfo, pdftotext) are not installed");
    QVERIFY(dir.isValid());
    headers = { new ColumnHeader { QStringLiteral("No."), 2 },
        new ColumnHeader { QStringLiteral("Date/Time"), 3 },
        new ColumnHeader { QStringLiteral("Function"), 3 },
        new ColumnHeader { QStringLiteral("Value"), 3 },
        new ColumnHeader { QStringLiteral("Unit"), 2 },
        new ColumnHeader { QStringLiteral("Frequency(Hz)"), 3 } };
    n = rowsPerPage();
    QVERIFY(n > 5);
}

void PdfReportTest::cleanupTestCase()
{
    qDeleteAll(headers);
}

void PdfReportTest::pages_data()
{
    // Rows as a multiple of the rows per page plus some, and the pages expected.
    QTest::addColumn<int>("pagesOfRows");
    QTest::addColumn<int>("extraRows");
    QTest::addColumn<int>("pages");
    QTest::newRow("empty table: one page, 1/1") << 0 << 0 << 1;
    QTest::newRow("one row") << 0 << 1 << 2;
    QTest::newRow("exactly one page of rows") << 1 << 0 << 2;
    QTest::newRow("one row more than a page") << 1 << 1 << 3;
    QTest::newRow("three full pages") << 3 << 0 << 4;
}

void PdfReportTest::pages()
{
    QFETCH(int, pagesOfRows);
    QFETCH(int, extraRows);
    QFETCH(int, pages);
    const int rows = pagesOfRows * n + extraRows;
    TableModel model(rows);
    const QString file = dir.filePath(QStringLiteral("report%1.pdf").arg(rows));
    QVERIFY(PdfReport::write(&model, headers, file));
    QCOMPARE(pageCount(file), pages);

    // The first page carries nothing but its number.
    QCOMPARE(pageText(file, 1).simplified(), QStringLiteral("1/%1").arg(pages));

    int expectedRow = 1;
    for (int page = 2; page <= pages; ++page) {
        const QString text = pageText(file, page);
        QVERIFY2(text.contains(QStringLiteral("%1/%2").arg(page).arg(pages)), qPrintable(text));
        QVERIFY(QRegularExpression(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d"))
                    .match(text.section(QLatin1Char('\n'), 0, 2))
                    .hasMatch());
        const QString titles = text.simplified();
        QVERIFY2(titles.contains(QStringLiteral("No. Date/Time Function Value Unit Frequency(Hz)")),
            qPrintable(text));
        // Rows continue from page to page without loss or repetition.
        const QList<int> numbers = rowNumbers(text);
        const int onPage = std::min(n, rows - (page - 2) * n);
        QCOMPARE(numbers.size(), onPage);
        for (int number : numbers)
            QCOMPARE(number, expectedRow++);
    }
    QCOMPARE(expectedRow, rows + 1);
}

void PdfReportTest::unwritableFile()
{
    TableModel model(3);
    const QString file = dir.filePath(QStringLiteral("missing/folder/report.pdf"));
    QVERIFY(!PdfReport::write(&model, headers, file));
    QVERIFY(!QFile::exists(file));
}

void PdfReportTest::cellText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("int") << QVariant(17) << "17";
    QTest::newRow("unsigned") << QVariant(17u) << "17";
    QTest::newRow("64-bit") << QVariant(qlonglong(65535)) << "65535";
    QTest::newRow("unsigned 64-bit") << QVariant(qulonglong(9)) << "9";
    QTest::newRow("whole double") << QVariant(12.0) << "12";
    QTest::newRow("character") << QVariant(QChar('A')) << "65";
    QTest::newRow("string stays as it is") << QVariant(QStringLiteral("12.34")) << "12.34";
    QTest::newRow("date-time") << QVariant(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)))
                               << "2026-01-02 03:04:05";
    QTest::newRow("other types convert themselves") << QVariant(QDate(2026, 1, 2)) << "2026-01-02";
    QTest::newRow("invalid") << QVariant() << "";
}

void PdfReportTest::cellText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    QCOMPARE(PdfReport::cellText(value), text);
}

QTEST_MAIN(PdfReportTest)
#include "tst_pdfreport.moc"

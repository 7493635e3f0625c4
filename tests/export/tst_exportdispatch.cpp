#include "datamodel.h"
#include "dmmdata.h"
#include "exporter.h"
#include "exportfilename.h"
#include "filesizelimit.h"
#include "modaldriver.h"
#include "widget.h"
#include "xlsreader.h"
#include "xlsxreader.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QJsonArray>
#include <QMessageBox>
#include <QProcess>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

bool waitCursorShown()
{
    return QApplication::overrideCursor()
        && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

// The first bytes of each format written.
QByteArray magic(const QString& format)
{
    if (format == QLatin1String("xls"))
        return QByteArray::fromHex("d0cf11e0a1b11ae1"); // compound document
    if (format == QLatin1String("xlsx"))
        return QByteArrayLiteral("PK\x03\x04"); // zip package
    if (format == QLatin1String("jpg"))
        return QByteArray::fromHex("ffd8ff");
    if (format == QLatin1String("pdf"))
        return QByteArrayLiteral("%PDF-");
    return QByteArrayLiteral("No.,Date/Time"); // csv
}

} // namespace

// The export command of the real window: the kind and the outcome are answered in their dialogs,
// the file name through the window's file-name question.
class ExportDispatchTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cancelled_data();
    void cancelled();
    void picture();
    void notWritten_data();
    void notWritten();
    void extensionRule_data();
    void extensionRule();
    void suggestedName_data();
    void suggestedName();
    void folderRemembered();
    void itemExports();
    void failureSaysWhy_data();
    void failureSaysWhy();
    void cursorDoesNotPileUp();
    void spreadsheet();
    void pdfReport();
    void windowTable_data();
    void windowTable();

private:
    // Answers the export dialog: picks the button by object name, then OK.
    void chooseKind(const QString& button);
    // Answers the file-name question with a file name (empty: cancel) and records what it asked.
    void answerFileDialog(const QString& fileName);
    void okMessage();
    void trigger();

    std::unique_ptr<Widget> window;
    std::unique_ptr<ModalDriver> driver;
    std::unique_ptr<QTemporaryDir> dir;
    QString fileCaption;
    QString fileFilter;
    QString fileDirectory;
    bool waitDuringFileDialog = false;
};

void ExportDispatchTest::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    window = std::make_unique<Widget>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    driver = std::make_unique<ModalDriver>();
    fileCaption.clear();
    fileFilter.clear();
    waitDuringFileDialog = false;
}

void ExportDispatchTest::cleanup()
{
    driver.reset();
    window.reset();
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml"));
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void ExportDispatchTest::chooseKind(const QString& button)
{
    driver->expect([button](QWidget* w) {
        if (auto* radio = w->findChild<QRadioButton*>(button))
            radio->setChecked(true);
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->accept();
    });
}

void ExportDispatchTest::answerFileDialog(const QString& fileName)
{
    window->findChild<Exporter*>()->setFileNameAsker(
        [this, fileName](
            QWidget*, const QString& caption, const QString& folder, const QString& filter) {
            fileCaption = caption;
            fileFilter = filter;
            fileDirectory = folder;
            waitDuringFileDialog = waitCursorShown();
            return fileName;
        });
}

void ExportDispatchTest::okMessage()
{
    driver->clickButton(QMessageBox::Ok);
}

void ExportDispatchTest::trigger()
{
    window->findChild<QAction*>(QStringLiteral("actionExport"))->trigger();
    QVERIFY(driver->waitAllAnswered());
}

void ExportDispatchTest::cancelled_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("dialogCancelled");
    QTest::newRow("export dialog cancelled") << "rbTable" << true;
    QTest::newRow("picture file dialog cancelled") << "rbChart" << false;
    QTest::newRow("spreadsheet file dialog cancelled") << "rbTable" << false;
    QTest::newRow("pdf file dialog cancelled") << "rbPdf" << false;
}

// No file, no message, and the normal cursor afterwards.
void ExportDispatchTest::cancelled()
{
    QFETCH(QString, kind);
    QFETCH(bool, dialogCancelled);
    if (dialogCancelled) {
        driver->rejectDialog();
    } else {
        chooseKind(kind);
        answerFileDialog(QString());
    }
    trigger();
    // The command has returned: a message box would have been answered (and seen) by now.
    QCOMPARE(driver->seen().size(), 1);
    QCOMPARE(driver->seen().first().className, QStringLiteral("dlgExport"));
    QCOMPARE(fileCaption.isEmpty(), dialogCancelled);
    if (!dialogCancelled)
        QVERIFY(waitDuringFileDialog);
    QVERIFY(!waitCursorShown());
    QVERIFY(QDir(dir->path()).entryList(QDir::Files).isEmpty());
}

void ExportDispatchTest::picture()
{
    const QString file = dir->filePath(QStringLiteral("chart.jpg"));
    chooseKind(QStringLiteral("rbChart"));
    answerFileDialog(file);
    okMessage();
    trigger();

    QCOMPARE(fileCaption, QStringLiteral("Export the chart to a picture."));
    QCOMPARE(fileFilter, QStringLiteral("JPG File(*.jpg)"));
    // The suggested name in the start folder: the item and the time of the export.
    QVERIFY2(QRegularExpression(QStringLiteral("/Measure1 \\d{4}-\\d\\d-\\d\\d \\d{4}\\.jpg$"))
                 .match(fileDirectory)
                 .hasMatch(),
        qPrintable(fileDirectory));
    QCOMPARE(driver->last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported successfully."));
    const QImage image(file);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), window->findChild<QWidget*>(QStringLiteral("chart"))->size());
    QVERIFY(!waitCursorShown());
}

void ExportDispatchTest::cursorDoesNotPileUp()
{
    for (int i = 0; i < 3; ++i) {
        driver->rejectDialog();
        trigger();
    }
    // The window's own cursor is in force again, one level deep however many exports ran.
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
    QApplication::restoreOverrideCursor();
    QVERIFY(!QApplication::overrideCursor());
}

void ExportDispatchTest::notWritten_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("fullDisk"); // otherwise a folder that cannot be made
    for (const char* kind : { "rbChart", "rbWorkbook", "rbReport", "rbAllItems" }) {
        QTest::newRow(qPrintable(QStringLiteral("%1, unwritable folder").arg(kind)))
            << QString::fromLatin1(kind) << false;
        QTest::newRow(qPrintable(QStringLiteral("%1, full disk").arg(kind)))
            << QString::fromLatin1(kind) << true;
    }
}

// The failure message with the system's reason, and no file left behind.
void ExportDispatchTest::notWritten()
{
    QFETCH(QString, kind);
    QFETCH(bool, fullDisk);
    auto* model
        = qobject_cast<DataModel*>(window->findChild<QTableView*>(QStringLiteral("tv"))->model());
    QList<DmmData*> readings;
    for (int i = 0; i < 300; ++i) {
        auto* d = new DmmData;
        d->setDateTime(QDateTime(QDate(2026, 12, 7), QTime(9, 30)).addMSecs(250 * i));
        d->addText(QString::number(i % 100 / 10.0, 'f', 2));
        d->addValue(i % 100 / 10.0);
        d->setUnit(2, QStringLiteral("cm/s"));
        d->setDetection(QStringLiteral("Vrms"));
        d->setBand(QStringLiteral("10-1kHz"));
        model->shownItem()->appendReading(d);
    }
    QFile blocker(dir->filePath(QStringLiteral("file.txt")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString file = fullDisk ? dir->filePath(QStringLiteral("export"))
                                  : dir->filePath(QStringLiteral("file.txt/export"));
    chooseKind(kind);
    answerFileDialog(file);
    QString informative;
    driver->expect([&](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
        informative = box->informativeText();
        box->button(QMessageBox::Ok)->click();
    });
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (fullDisk)
            limit = std::make_unique<FileSizeLimit>(100);
        trigger();
    }
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported failed."));
    QVERIFY2(!informative.isEmpty(), "the system's reason is shown");
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "file.txt" });
    QVERIFY(!waitCursorShown());
}

void ExportDispatchTest::extensionRule_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("format");
    QTest::newRow("xls, no extension") << "rbTable"
                                       << "table"
                                       << "table.xls"
                                       << "xls";
    QTest::newRow("xls, own extension") << "rbTable"
                                        << "table.xls"
                                        << "table.xls"
                                        << "xls";
    QTest::newRow("xls, another kind's") << "rbTable"
                                         << "table.csv"
                                         << "table.csv"
                                         << "xls";
    QTest::newRow("jpg, no extension") << "rbChart"
                                       << "chart"
                                       << "chart.jpg"
                                       << "jpg";
    QTest::newRow("jpg, other spelling") << "rbChart"
                                         << "chart.JPEG"
                                         << "chart.JPEG"
                                         << "jpg";
    QTest::newRow("jpg, another kind's") << "rbChart"
                                         << "chart.pdf"
                                         << "chart.pdf"
                                         << "jpg";
    QTest::newRow("jpg, unknown suffix is no extension") << "rbChart"
                                                         << "chart.v2"
                                                         << "chart.v2.jpg"
                                                         << "jpg";
    QTest::newRow("pdf table, no extension") << "rbPdf"
                                             << "table"
                                             << "table.pdf"
                                             << "pdf";
    QTest::newRow("csv, no extension") << "rbCsv"
                                       << "data"
                                       << "data.csv"
                                       << "csv";
    QTest::newRow("csv, another kind's") << "rbCsv"
                                         << "data.xlsx"
                                         << "data.xlsx"
                                         << "csv";
    QTest::newRow("workbook, no extension") << "rbWorkbook"
                                            << "book"
                                            << "book.xlsx"
                                            << "xlsx";
    QTest::newRow("workbook, upper case") << "rbWorkbook"
                                          << "book.XLSX"
                                          << "book.XLSX"
                                          << "xlsx";
    QTest::newRow("workbook, another kind's") << "rbWorkbook"
                                              << "book.xls"
                                              << "book.xls"
                                              << "xlsx";
    QTest::newRow("report, no extension") << "rbReport"
                                          << "report"
                                          << "report.pdf"
                                          << "pdf";
    QTest::newRow("report, another kind's") << "rbReport"
                                            << "report.jpg"
                                            << "report.jpg"
                                            << "pdf";
    QTest::newRow("all items, no extension") << "rbAllItems"
                                             << "all"
                                             << "all.xlsx"
                                             << "xlsx";
}

// A typed name gets the kind's extension when it has none of the exports' extensions; one that
// ends in another kind's keeps it, and the file has the chosen kind's format.
void ExportDispatchTest::extensionRule()
{
    QFETCH(QString, kind);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, format);
    chooseKind(kind);
    answerFileDialog(dir->filePath(typed));
    okMessage();
    trigger();
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported successfully."));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList { written });
    QFile file(dir->filePath(written));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY2(file.read(16).startsWith(magic(format)), qPrintable(written));
}

void ExportDispatchTest::suggestedName_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("name");
    QTest::newRow("item and time") << "Measure1"
                                   << "xlsx"
                                   << "Measure1 2026-12-08 1405.xlsx";
    QTest::newRow("separators and colons") << "Fan: DE/NDE"
                                           << "pdf"
                                           << "Fan_ DE_NDE 2026-12-08 1405.pdf";
    QTest::newRow("no name") << " "
                             << "csv"
                             << "Export 2026-12-08 1405.csv";
}

void ExportDispatchTest::suggestedName()
{
    QFETCH(QString, item);
    QFETCH(QString, extension);
    QFETCH(QString, name);
    QCOMPARE(
        ExportFileName::suggested(item, QDateTime(QDate(2026, 12, 8), QTime(14, 5, 59)), extension),
        name);
}

// The next export starts in the folder of the last one, also after the window was closed and
// opened again.
void ExportDispatchTest::folderRemembered()
{
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("reports")));
    const QString folder = dir->filePath(QStringLiteral("reports"));
    chooseKind(QStringLiteral("rbReport"));
    answerFileDialog(folder + QStringLiteral("/first"));
    okMessage();
    trigger();
    QVERIFY(QFile::exists(folder + QStringLiteral("/first.pdf")));

    chooseKind(QStringLiteral("rbCsv"));
    answerFileDialog(QString());
    trigger();
    QCOMPARE(QFileInfo(fileDirectory).absolutePath(), folder);

    window->close();
    window = std::make_unique<Widget>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    chooseKind(QStringLiteral("rbWorkbook"));
    answerFileDialog(QString());
    trigger();
    QCOMPARE(QFileInfo(fileDirectory).absolutePath(), folder);
    QVERIFY(fileDirectory.endsWith(QStringLiteral(".xlsx")));
}

// The new kinds through the window: the shown item as a workbook and as a report, and all
// items (Store Data only when it holds readings) into one workbook.
void ExportDispatchTest::itemExports()
{
    QMetaObject::invokeMethod(window.get(), "on_actionStart_triggered", Qt::DirectConnection);
    for (int i = 0; i < 5; ++i) {
        auto* d = new DmmData;
        d->setDateTime(QDateTime(QDate(2026, 12, 7), QTime(9, 30)).addMSecs(250 * i));
        d->addText(QStringLiteral(" 0.%1").arg(i + 1));
        d->addValue((i + 1) / 10.0);
        d->setUnit(2, QStringLiteral("cm/s"));
        d->setDetection(QStringLiteral("Vrms"));
        d->setBand(QStringLiteral("10-1kHz"));
        QMetaObject::invokeMethod(
            window.get(), "slotDmmDisplay", Qt::DirectConnection, Q_ARG(const DmmData*, d));
    }
    QStringList lines;
    connect(window->findChild<Exporter*>(), &Exporter::message, this,
        [&lines](const QString& line) { lines << line; });
    const QStringList kinds { "rbWorkbook", "rbReport", "rbAllItems" };
    const QStringList files { "item.xlsx", "item.pdf", "all.xlsx" };
    for (int i = 0; i < kinds.size(); ++i) {
        chooseKind(kinds.at(i));
        answerFileDialog(dir->filePath(files.at(i)));
        okMessage();
        trigger();
        QCOMPARE(driver->last().text, QStringLiteral("The datas is exported successfully."));
        QCOMPARE(lines.value(i),
            QStringLiteral("Exported %1.")
                .arg(QDir::toNativeSeparators(dir->filePath(files.at(i)))));
    }
    QCOMPARE(fileFilter, QStringLiteral("Excel Workbook(*.xlsx)"));
    if (!XlsxReader::available())
        QSKIP("python3-openpyxl is not installed (scripts/deps.sh installs it)");
    const QJsonObject item = XlsxReader::read(dir->filePath(files.at(0)));
    QCOMPARE(XlsxReader::sheet(item, QStringLiteral("Readings"))
                 .value(QStringLiteral("max_row"))
                 .toInt(),
        6);
    QCOMPARE(XlsxReader::sheetNames(XlsxReader::read(dir->filePath(files.at(2)))),
        (QStringList { "Summary", "Measure1", "Measure1 chart" }));
}

void ExportDispatchTest::failureSaysWhy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    for (const char* kind : { "rbTable", "rbChart", "rbPdf", "rbCsv" })
        QTest::addRow("%s into a folder that does not exist", kind) << kind << "missing"
                                                                    << "No such file or directory";
    // Written in place, as devices are: the full disk is what the write reports.
    QTest::addRow("rbChart to a full device") << "rbChart"
                                              << "full"
                                              << "No space left on device";
    QTest::addRow("rbCsv to a full device") << "rbCsv"
                                            << "full"
                                            << "No space left on device";
}

// The failure message carries the system's reason beneath it.
void ExportDispatchTest::failureSaysWhy()
{
    QFETCH(QString, kind);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    const QString extension = kind == "rbChart" ? ".jpg"
        : kind == "rbPdf"                       ? ".pdf"
        : kind == "rbCsv"                       ? ".csv"
                                                : ".xls";
    QString file = dir->filePath(QStringLiteral("no/such/folder/export") + extension);
    if (target == "full") {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("there is no /dev/full");
        file = QStringLiteral("/dev/full");
    }
    chooseKind(kind);
    answerFileDialog(file);
    okMessage();
    trigger();
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported failed."));
    QCOMPARE(driver->last().informativeText,
        QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(file), reason));
}

void ExportDispatchTest::spreadsheet()
{
    const QString file = dir->filePath(QStringLiteral("table.xls"));
    // OK without touching the choice runs the spreadsheet export.
    driver->acceptDialog();
    answerFileDialog(file);
    okMessage();
    trigger();

    QCOMPARE(fileCaption, QStringLiteral("Export the datas to a excel file."));
    QCOMPARE(fileFilter, QStringLiteral("Excel File(*.xls)"));
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported successfully."));
    QVERIFY(!waitCursorShown());
    if (!xlrdAvailable())
        QSKIP("python3-xlrd is not installed");
    const QJsonObject book = readXls(file);
    const QJsonObject sheet = book.value(QStringLiteral("sheets")).toArray().at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), 1);
    const QJsonArray header
        = sheet.value(QStringLiteral("rows")).toObject().value(QStringLiteral("0")).toArray();
    QCOMPARE(header.size(), 6);
    QCOMPARE(
        header.at(0).toObject().value(QStringLiteral("value")).toString(), QStringLiteral("No."));
    QCOMPARE(header.at(5).toObject().value(QStringLiteral("value")).toString(),
        QStringLiteral("Frequency(Hz)"));
}

void ExportDispatchTest::pdfReport()
{
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    tabs->setCurrentIndex(1);
    const QString file = dir->filePath(QStringLiteral("report.pdf"));
    chooseKind(QStringLiteral("rbPdf"));
    answerFileDialog(file);
    bool completeWhenShown = false;
    driver->expect([&](QWidget* w) {
        // The report is finished on disk before the user is told.
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), { file });
        completeWhenShown = info.waitForFinished(30000) && info.exitCode() == 0;
        if (auto* box = qobject_cast<QMessageBox*>(w))
            box->button(QMessageBox::Ok)->click();
    });
    trigger();

    QCOMPARE(fileCaption, QStringLiteral("Export the datas to a pdf file."));
    QCOMPARE(fileFilter, QStringLiteral("PDF file(*.pdf)"));
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported successfully."));
    QVERIFY(completeWhenShown);
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(!waitCursorShown());
}

void ExportDispatchTest::windowTable_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("message");
    QTest::newRow("three readings") << 3 << "The datas is exported successfully.";
    QTest::newRow("more than a sheet holds") << 65536 << "The datas is exported failed.";
}

// The window's own table goes into the workbook; a table too large for a sheet is refused with
// the reason, and nothing is saved.
void ExportDispatchTest::windowTable()
{
    QFETCH(int, rows);
    QFETCH(QString, message);
    auto* model
        = qobject_cast<DataModel*>(window->findChild<QTableView*>(QStringLiteral("tv"))->model());
    QVERIFY(model);
    QList<DmmData*> readings;
    const QDateTime start(QDate(2026, 12, 7), QTime(9, 30));
    for (int i = 0; i < rows; ++i) {
        auto* d = new DmmData;
        d->setDateTime(start.addSecs(i));
        d->addText(QString::number(i % 100 / 10.0, 'f', 1));
        d->setUnit(2, QStringLiteral("cm/s"));
        d->setDetection(QStringLiteral("Vrms"));
        d->setBand(QStringLiteral("10-1kHz"));
        readings << d;
    }
    model->clear();
    model->setReadings(readings);

    QString informative;
    const QString file = dir->filePath(QStringLiteral("window.xls"));
    driver->acceptDialog();
    answerFileDialog(file);
    driver->expect([&](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
        informative = box->informativeText();
        box->button(QMessageBox::Ok)->click();
    });
    trigger();
    model->clear();
    qDeleteAll(readings);

    QCOMPARE(driver->last().text, message);
    QVERIFY(!waitCursorShown());
    if (rows > 65535) {
        QVERIFY2(informative.contains(QString::number(rows)), qPrintable(informative));
        QVERIFY(!QFile::exists(file));
        return;
    }
    if (!xlrdAvailable())
        QSKIP("python3-xlrd is not installed");
    const QJsonObject sheet
        = readXls(file).value(QStringLiteral("sheets")).toArray().at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), rows + 1);
    const QJsonObject table = sheet.value(QStringLiteral("rows")).toObject();
    for (int r = 1; r <= rows; ++r) {
        const QJsonArray cells = table.value(QString::number(r)).toArray();
        QCOMPARE(cells.at(0).toObject().value(QStringLiteral("value")).toDouble(), double(r));
        QCOMPARE(cells.at(1).toObject().value(QStringLiteral("type")).toString(),
            QStringLiteral("xldate"));
        const QJsonArray t = cells.at(1).toObject().value(QStringLiteral("value")).toArray();
        QCOMPARE(
            QTime(t.at(3).toInt(), t.at(4).toInt(), t.at(5).toInt()), QTime(9, 30).addSecs(r - 1));
        QCOMPARE(cells.at(4).toObject().value(QStringLiteral("value")).toString(),
            QStringLiteral("cm/s"));
    }
}

QTEST_MAIN(ExportDispatchTest)
#include "tst_exportdispatch.moc"

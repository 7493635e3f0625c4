#include "datamodel.h"
#include "dmmdata.h"
#include "exporter.h"
#include "modaldriver.h"
#include "widget.h"
#include "xlsreader.h"

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

namespace {

bool waitCursorShown()
{
    return QApplication::overrideCursor()
        && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
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
    void pictureNotWritten();
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
    QCOMPARE(fileDirectory, QStringLiteral("."));
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

void ExportDispatchTest::pictureNotWritten()
{
    const QString file = dir->filePath(QStringLiteral("chart.unknownformat"));
    chooseKind(QStringLiteral("rbChart"));
    answerFileDialog(file);
    okMessage();
    trigger();
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported failed."));
    QVERIFY2(driver->last().informativeText.endsWith(
                 QStringLiteral("\"unknownformat\" is no picture format this program can write; "
                                "name the file .jpg.")),
        qPrintable(driver->last().informativeText));
    QVERIFY(!QFile::exists(file));
    QVERIFY(!waitCursorShown());

    // A name without an extension gets ".jpg".
    const QString bare = dir->filePath(QStringLiteral("chart"));
    chooseKind(QStringLiteral("rbChart"));
    answerFileDialog(bare);
    okMessage();
    trigger();
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported successfully."));
    QVERIFY(!QImage(bare + QStringLiteral(".jpg")).isNull());
}

void ExportDispatchTest::failureSaysWhy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    for (const char* kind : { "rbTable", "rbChart", "rbPdf", "rbCsv" }) {
        QTest::addRow("%s into a folder that does not exist", kind) << kind << "missing"
                                                                    << "No such file or directory";
        QTest::addRow("%s over a folder", kind) << kind << "folder"
                                                << "Is a directory";
    }
    // Written in place, as devices are: the full disk is what the write reports.
    QTest::addRow("rbChart to a full device") << "rbChart"
                                              << "full"
                                              << "No space left on device";
    QTest::addRow("rbCsv to a full device") << "rbCsv"
                                            << "full"
                                            << "No space left on device";
}

void ExportDispatchTest::failureSaysWhy()
{
    QFETCH(QString, kind);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    const QString extension = kind == "rbChart" ? ".jpg" : kind == "rbPdf" ? ".pdf" : ".xls";
    QString file = dir->filePath(QStringLiteral("export") + extension);
    if (target == "missing") {
        file = dir->filePath(QStringLiteral("no/such/folder/export") + extension);
    } else if (target == "folder") {
        QVERIFY(QDir(dir->path()).mkdir(QFileInfo(file).fileName()));
    } else if (QFile::exists(QStringLiteral("/dev/full"))) {
        file = QStringLiteral("/dev/full");
    } else {
        QSKIP("there is no /dev/full");
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

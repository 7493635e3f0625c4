#include "modaldriver.h"
#include "widget.h"
#include "xlsreader.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImage>
#include <QJsonArray>
#include <QProcess>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool waitCursorShown()
{
    return QApplication::overrideCursor()
        && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

} // namespace

// The export command of the real window, with its dialogs answered from a timer.
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
    void spreadsheet();
    void pdfReport();

private:
    // Answers the export dialog: picks the button by object name, then OK.
    void chooseKind(const QString& button);
    // Answers a save-file dialog with a file name (empty: cancel) and records what it showed.
    void answerFileDialog(const QString& fileName);
    void trigger();

    std::unique_ptr<Widget> window;
    std::unique_ptr<ModalDriver> driver;
    QTemporaryDir dir;
    QString fileCaption;
    QStringList fileFilters;
    QString fileDirectory;
    bool waitDuringFileDialog = false;
};

void ExportDispatchTest::init()
{
    QVERIFY(dir.isValid());
    window = std::make_unique<Widget>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    driver = std::make_unique<ModalDriver>();
    fileCaption.clear();
    fileFilters.clear();
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
    driver->expect([this, fileName](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (!dialog) {
            w->close();
            return;
        }
        fileCaption = dialog->windowTitle();
        fileFilters = dialog->nameFilters();
        fileDirectory = dialog->directory().absolutePath();
        waitDuringFileDialog = waitCursorShown();
        if (fileName.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(fileName);
            static_cast<QDialog*>(dialog)->accept();
        }
    });
}

void ExportDispatchTest::trigger()
{
    window->findChild<QAction*>(QStringLiteral("actionExport"))->trigger();
    QVERIFY(driver->waitAllAnswered());
    QCOMPARE(driver->pending(), 0);
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
    // Anything shown after the answered dialogs would be a message box.
    QTest::qWait(100);
    QCOMPARE(driver->seen().size(), dialogCancelled ? 1 : 2);
    QCOMPARE(driver->seen().first().className, QStringLiteral("dlgExport"));
    if (!dialogCancelled)
        QVERIFY(waitDuringFileDialog);
    QVERIFY(!waitCursorShown());
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void ExportDispatchTest::picture()
{
    const QString file = dir.filePath(QStringLiteral("chart.jpg"));
    chooseKind(QStringLiteral("rbChart"));
    answerFileDialog(file);
    driver->clickButton(QMessageBox::Ok);
    trigger();

    QCOMPARE(fileCaption, QStringLiteral("Export the chart to a picture."));
    QCOMPARE(fileFilters, QStringList { QStringLiteral("JPG File(*.jpg)") });
    QCOMPARE(fileDirectory, QDir::current().absolutePath());
    QCOMPARE(driver->last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported successfully."));
    const QImage image(file);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), window->findChild<QWidget*>(QStringLiteral("chart"))->size());
    QVERIFY(!waitCursorShown());
}

void ExportDispatchTest::pictureNotWritten()
{
    const QString file = dir.filePath(QStringLiteral("chart.unknownformat"));
    chooseKind(QStringLiteral("rbChart"));
    answerFileDialog(file);
    driver->clickButton(QMessageBox::Ok);
    trigger();
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported failed."));
    QVERIFY(!QFile::exists(file));
    QVERIFY(!waitCursorShown());
}

void ExportDispatchTest::spreadsheet()
{
    const QString file = dir.filePath(QStringLiteral("table.xls"));
    // OK without touching the choice runs the spreadsheet export.
    driver->acceptDialog();
    answerFileDialog(file);
    driver->clickButton(QMessageBox::Ok);
    trigger();

    QCOMPARE(fileCaption, QStringLiteral("Export the datas to a excel file."));
    QCOMPARE(fileFilters, QStringList { QStringLiteral("Excel File(*.xls)") });
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported successfully."));
    QVERIFY(!waitCursorShown());
    if (!xlrdAvailable())
        QSKIP("python3-xlrd is not installed");
    const QJsonObject book = readXls(file);
    const QJsonObject sheet = book.value(QStringLiteral("sheets")).toArray().at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), 1);
    const QJsonArray header = sheet.value(QStringLiteral("rows")).toObject().value(QStringLiteral("0")).toArray();
    QCOMPARE(header.size(), 6);
    QCOMPARE(header.at(0).toObject().value(QStringLiteral("value")).toString(), QStringLiteral("No."));
    QCOMPARE(header.at(5).toObject().value(QStringLiteral("value")).toString(), QStringLiteral("Frequency(Hz)"));
}

void ExportDispatchTest::pdfReport()
{
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    tabs->setCurrentIndex(1);
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
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
    QCOMPARE(fileFilters, QStringList { QStringLiteral("PDF file(*.pdf)") });
    QCOMPARE(driver->last().text, QStringLiteral("The datas is exported successfully."));
    QVERIFY(completeWhenShown);
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(!waitCursorShown());
}

QTEST_MAIN(ExportDispatchTest)
#include "tst_exportdispatch.moc"

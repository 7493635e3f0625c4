#include "datamodel.h"
#include "dmmdata.h"
#include "widget.h"
#include "xlsreader.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QJsonArray>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
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

// Answers modal dialogs from a timer, each answer for the next modal widget of its class; pop-ups
// (a file dialog's completer, for one) are left alone. A modal widget nobody expects is closed
// after a while so that a fault shows as a failure, not a hang.
class Answers : public QObject
{
public:
    struct Seen
    {
        QString className;
        QString text;
    };

    Answers()
    {
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, this, &Answers::poll);
        timer.start();
    }

    void expect(const char* className, std::function<void(QWidget*)> handler)
    {
        queue.append({ QByteArray(className), std::move(handler) });
    }
    bool waitAllAnswered()
    {
        return QTest::qWaitFor([this] { return queue.isEmpty(); }, 10000);
    }
    int pending() const { return queue.size(); }
    QList<Seen> seen;
    QStringList unexpected;

private:
    void poll()
    {
        QWidget* widget = QApplication::activeModalWidget();
        if (!widget || !widget->isVisible() || widget == last) {
            strangerSince.invalidate();
            return;
        }
        if (!queue.isEmpty() && widget->inherits(queue.first().first.constData())) {
            last = widget;
            Seen s { QString::fromLatin1(widget->metaObject()->className()),
                widget->windowTitle() };
            if (auto* box = qobject_cast<QMessageBox*>(widget))
                s.text = box->text();
            seen.append(s);
            queue.takeFirst().second(widget);
            strangerSince.invalidate();
            return;
        }
        if (!strangerSince.isValid()) {
            strangerSince.start();
        } else if (strangerSince.elapsed() > 3000) {
            unexpected << QString::fromLatin1(widget->metaObject()->className());
            last = widget;
            widget->close();
        }
    }

    QTimer timer;
    QList<QPair<QByteArray, std::function<void(QWidget*)>>> queue;
    QPointer<QWidget> last;
    QElapsedTimer strangerSince;
};

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
    void cursorDoesNotPileUp();
    void spreadsheet();
    void pdfReport();
    void windowTable_data();
    void windowTable();

private:
    // Answers the export dialog: picks the button by object name, then OK.
    void chooseKind(const QString& button);
    // Answers a save-file dialog with a file name (empty: cancel) and records what it showed.
    void answerFileDialog(const QString& fileName);
    void okMessage();
    void trigger();

    std::unique_ptr<Widget> window;
    std::unique_ptr<Answers> driver;
    std::unique_ptr<QTemporaryDir> dir;
    QString fileCaption;
    QStringList fileFilters;
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
    driver = std::make_unique<Answers>();
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
    driver->expect("dlgExport", [button](QWidget* w) {
        if (auto* radio = w->findChild<QRadioButton*>(button))
            radio->setChecked(true);
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->accept();
    });
}

void ExportDispatchTest::answerFileDialog(const QString& fileName)
{
    driver->expect("QFileDialog", [this, fileName](QWidget* w) {
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

void ExportDispatchTest::okMessage()
{
    driver->expect("QMessageBox",
        [](QWidget* w) { static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click(); });
}

void ExportDispatchTest::trigger()
{
    window->findChild<QAction*>(QStringLiteral("actionExport"))->trigger();
    QVERIFY(driver->waitAllAnswered());
    QCOMPARE(driver->unexpected, QStringList());
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
        driver->expect("dlgExport", [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    } else {
        chooseKind(kind);
        answerFileDialog(QString());
    }
    trigger();
    // Anything shown after the answered dialogs would be a message box.
    QTest::qWait(100);
    QCOMPARE(driver->seen.size(), dialogCancelled ? 1 : 2);
    QCOMPARE(driver->seen.first().className, QStringLiteral("dlgExport"));
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
    QCOMPARE(fileFilters, QStringList { QStringLiteral("JPG File(*.jpg)") });
    QCOMPARE(fileDirectory, QDir::current().absolutePath());
    QCOMPARE(driver->seen.last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(driver->seen.last().text, QStringLiteral("The datas is exported successfully."));
    const QImage image(file);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), window->findChild<QWidget*>(QStringLiteral("chart"))->size());
    QVERIFY(!waitCursorShown());
}

void ExportDispatchTest::cursorDoesNotPileUp()
{
    for (int i = 0; i < 3; ++i) {
        driver->expect("dlgExport", [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
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
    QCOMPARE(driver->seen.last().text, QStringLiteral("The datas is exported failed."));
    QVERIFY(!QFile::exists(file));
    QVERIFY(!waitCursorShown());
}

void ExportDispatchTest::spreadsheet()
{
    const QString file = dir->filePath(QStringLiteral("table.xls"));
    // OK without touching the choice runs the spreadsheet export.
    driver->expect("dlgExport", [](QWidget* w) { static_cast<QDialog*>(w)->accept(); });
    answerFileDialog(file);
    okMessage();
    trigger();

    QCOMPARE(fileCaption, QStringLiteral("Export the datas to a excel file."));
    QCOMPARE(fileFilters, QStringList { QStringLiteral("Excel File(*.xls)") });
    QCOMPARE(driver->seen.last().text, QStringLiteral("The datas is exported successfully."));
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
    driver->expect("QMessageBox", [&](QWidget* w) {
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
    QCOMPARE(driver->seen.last().text, QStringLiteral("The datas is exported successfully."));
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
    driver->expect("dlgExport", [](QWidget* w) { static_cast<QDialog*>(w)->accept(); });
    answerFileDialog(file);
    driver->expect("QMessageBox", [&](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
        informative = box->informativeText();
        box->button(QMessageBox::Ok)->click();
    });
    trigger();
    model->clear();
    qDeleteAll(readings);

    QCOMPARE(driver->seen.last().text, message);
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

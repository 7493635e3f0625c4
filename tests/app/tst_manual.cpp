// The Manual action: which copy of "Software User Manual.pdf" it opens, and what it says when
// there is none. Opening is intercepted through the desktop services' URL handler.
#include "widgettestsupport.h"

#include "modaldriver.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace WidgetProbe;

class ManualTest : public QObject
{
    Q_OBJECT

public slots:
    // Stands in for the desktop's PDF viewer.
    void openFile(const QUrl& url) { opened << url.toLocalFile(); }

private slots:
    void initTestCase();
    void cleanup();
    void opensTheManual_data();
    void opensTheManual();

private:
    QStringList opened;
    QString savedCurrent;
};

namespace {

const QString manualName = QStringLiteral("Software User Manual.pdf");

bool makeManual(const QString& folder)
{
    QFile file(QDir(folder).filePath(manualName));
    return file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n") > 0;
}

} // namespace

void ManualTest::initTestCase()
{
    savedCurrent = QDir::currentPath();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openFile");
}

void ManualTest::cleanup()
{
    QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath(manualName));
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml"));
    QDir::setCurrent(savedCurrent);
    opened.clear();
}

void ManualTest::opensTheManual_data()
{
    QTest::addColumn<bool>("besideProgram");
    QTest::addColumn<bool>("inWorkingFolder");
    QTest::addColumn<QString>("expected"); // "program", "working" or "" (none found)

    QTest::newRow("beside the program") << true << false << "program";
    QTest::newRow("in the working folder") << false << true << "working";
    QTest::newRow("both: the program's own wins") << true << true << "program";
    QTest::newRow("nowhere") << false << false << "";
}

void ManualTest::opensTheManual()
{
    QFETCH(bool, besideProgram);
    QFETCH(bool, inWorkingFolder);
    QFETCH(QString, expected);

    QTemporaryDir working;
    QVERIFY(working.isValid());
    QVERIFY(QDir::setCurrent(working.path()));
    const QString programDir = QCoreApplication::applicationDirPath();
    if (besideProgram)
        QVERIFY(makeManual(programDir));
    if (inWorkingFolder)
        QVERIFY(makeManual(working.path()));

    Widget w;
    w.show();
    ModalDriver driver;
    if (expected.isEmpty())
        driver.clickButton(QMessageBox::Ok);
    action(w, "actionManual")->trigger();

    if (expected.isEmpty()) {
        QVERIFY(driver.waitAllAnswered());
        QVERIFY(opened.isEmpty());
        QVERIFY2(driver.last().text.contains(manualName), qPrintable(driver.last().text));
        QVERIFY2(driver.last().text.contains(QStringLiteral("not found")),
            qPrintable(driver.last().text));
        return;
    }
    const QString folder = expected == QLatin1String("program") ? programDir : working.path();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(QFileInfo(opened.first()).canonicalFilePath(),
        QFileInfo(QDir(folder).filePath(manualName)).canonicalFilePath());
    QVERIFY(driver.seen().isEmpty());
}

QTEST_MAIN(ManualTest)
#include "tst_manual.moc"

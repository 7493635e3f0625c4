#include "openfailure.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class OpenFailureTest : public QObject
{
    Q_OBJECT

private slots:
    void classify_data();
    void classify();
    void permissionHintNamesTheGroup();
};

void OpenFailureTest::classify_data()
{
    QTest::addColumn<QString>("path"); // relative to a temporary folder; "-" for none at all
    QTest::addColumn<int>("reason");
    QTest::newRow("no port found") << "-" << int(OpenFailure::Reason::NoPort);
    QTest::newRow("port vanished") << "ttyGone" << int(OpenFailure::Reason::NoPort);
    QTest::newRow("port there and accessible") << "ttyHere" << int(OpenFailure::Reason::Busy);
}

void OpenFailureTest::classify()
{
    QFETCH(QString, path);
    QFETCH(int, reason);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile here(dir.filePath("ttyHere"));
    QVERIFY(here.open(QIODevice::WriteOnly));
    here.close();
    const QString full = path == "-" ? QString() : dir.filePath(path);
    QCOMPARE(int(OpenFailure::classify(full)), reason);
    QVERIFY(!OpenFailure::text(OpenFailure::classify(full), full).isEmpty());
}

void OpenFailureTest::permissionHintNamesTheGroup()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString port = dir.filePath("ttyUSB0");
    QFile file(port);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString group = QFileInfo(port).group();
    QVERIFY(!group.isEmpty());
    const QString text = OpenFailure::text(OpenFailure::Reason::PermissionDenied, port);
    QVERIFY2(text.contains(port) && text.contains('"' + group + '"'), qPrintable(text));
}

QTEST_GUILESS_MAIN(OpenFailureTest)
#include "tst_openfailure.moc"

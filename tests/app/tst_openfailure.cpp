#include "openfailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

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
    QTest::addColumn<QString>("what"); // what stands at the port's path
    QTest::addColumn<int>("reason");
    QTest::addColumn<QString>("says");
    QTest::newRow("no port found")
        << "none" << int(OpenFailure::Reason::NoPort) << "No meter port was found";
    QTest::newRow("port vanished")
        << "gone" << int(OpenFailure::Reason::NoPort) << "No meter port was found";
    QTest::newRow("a terminal there and accessible")
        << "terminal" << int(OpenFailure::Reason::Busy) << "is busy";
    QTest::newRow("a regular file")
        << "file" << int(OpenFailure::Reason::NotSerialPort) << "is not a serial port";
    QTest::newRow("a folder") << "folder" << int(OpenFailure::Reason::NotSerialPort)
                              << "is not a serial port";
    QTest::newRow("a pipe") << "fifo" << int(OpenFailure::Reason::NotSerialPort)
                            << "is not a serial port";
    QTest::newRow("/dev/null") << "null" << int(OpenFailure::Reason::NotSerialPort)
                               << "is not a serial port";
}

void OpenFailureTest::classify()
{
    QFETCH(QString, what);
    QFETCH(int, reason);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(what);
    int master = -1;
    if (what == "none") {
        path.clear();
    } else if (what == "file") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (what == "folder") {
        QVERIFY(QDir(dir.path()).mkdir(what));
    } else if (what == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (what == "null") {
        path = QStringLiteral("/dev/null");
    } else if (what == "terminal") {
        // The port side of a pseudo-terminal, as the meter's adapter would offer one.
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        path = QString::fromLocal8Bit(::ptsname(master));
    }
    const OpenFailure::Reason got = OpenFailure::classify(path);
    if (master >= 0)
        ::close(master);
    QCOMPARE(int(got), reason);
    const QString text = OpenFailure::text(got, path);
    QVERIFY2(text.contains(says), qPrintable(text));
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

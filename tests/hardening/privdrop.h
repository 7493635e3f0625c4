#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <unistd.h>

// Folder permissions do not bind root. Tests of unreadable files and read-only folders therefore
// run their case again as the unprivileged user "nobody" when the suite runs as root.
namespace PrivDrop {

inline bool isRoot()
{
    return ::geteuid() == 0;
}

// Runs this test executable's function (with one data row) as "nobody"; true when it passed.
// Empty error text when it could run at all.
inline bool runAsNobody(const QString& function, const QString& row, QString* output)
{
    const QString setpriv = QStringLiteral("/usr/bin/setpriv");
    if (!QFile::exists(setpriv)) {
        *output = QStringLiteral("setpriv is not installed");
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList env = QProcess::systemEnvironment();
    env << QStringLiteral("XDG_RUNTIME_DIR=/tmp") << QStringLiteral("HOME=/tmp");
    process.setEnvironment(env);
    process.start(setpriv,
        { "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
            QCoreApplication::applicationFilePath(), function + ':' + row });
    process.waitForFinished(60000);
    *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace PrivDrop

// In a test function with data rows: as root, hands the current row to an unprivileged run of
// this executable and takes its verdict.
#define RUN_UNPRIVILEGED_AS_ROOT()                                                                 \
    do {                                                                                           \
        if (PrivDrop::isRoot()) {                                                                  \
            QString output;                                                                        \
            const bool passed                                                                      \
                = PrivDrop::runAsNobody(QString::fromLatin1(QTest::currentTestFunction()),         \
                    QString::fromLatin1(QTest::currentDataTag()), &output);                        \
            if (output.contains(QLatin1String("setpriv is not installed")))                        \
                QSKIP("running as root and setpriv is not installed");                             \
            QVERIFY2(passed, qPrintable(output));                                                  \
            return;                                                                                \
        }                                                                                          \
    } while (false)

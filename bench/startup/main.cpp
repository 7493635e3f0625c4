// startup_ms: from the process start (fork and exec, dynamic loading included) to the main window
// shown and painted once. The program starts itself as the window process several times and
// reports the median.

#include "journal.h"
#include "widget.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

qint64 monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Ends the event loop at the window's first paint, when it is on screen.
class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }
    bool seen = false;
};

int runWindow(int argc, char* argv[], qint64 startedNs)
{
    QApplication app(argc, argv);
    // The window journals what it records: into a folder of this run's own, never the user's.
    QTemporaryDir journalFolder;
    Journal::setFolderOverride(journalFolder.path());
    Widget w;
    FirstPaint paint;
    w.installEventFilter(&paint);
    w.show();
    app.exec();
    std::printf("%lld\n", (monotonicNs() - startedNs) / 1000);
    return paint.seen ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 2 && qstrcmp(argv[1], "--window") == 0)
        return runWindow(argc, argv, QByteArray(argv[2]).toLongLong());

    QCoreApplication app(argc, argv);
    // The window reads its settings at start-up; a file left over must not change what is timed.
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml"));
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        QProcess child;
        const qint64 started = monotonicNs();
        child.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--window"), QString::number(started) });
        if (!child.waitForFinished(60000) || child.exitCode() != 0) {
            std::fprintf(stderr, "startup_ms: the window process failed\n");
            return 1;
        }
        runs.push_back(child.readAllStandardOutput().trimmed().toDouble() / 1000.0);
    }
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml"));
    std::sort(runs.begin(), runs.end());
    std::printf("startup_ms: %.0f ms\n", runs.at(runs.size() / 2));
    return 0;
}

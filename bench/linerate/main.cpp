// cpu_percent_line_rate: the window's share of one CPU while it records every live reading (sample
// rate 0, no limit) that the meter simulator sends as fast as the serial line carries them, with
// the table shown (also printed as cpu_percent_line_rate_table), then with the chart shown
// (cpu_percent_line_rate_chart), and with the chart shown and the item already holding 1,000,000
// readings (cpu_percent_line_rate_chart_1000000). Also prints the reading rate it measured.

#include "benchreadings.h"
#include "cpuseconds.h"
#include "framecodec.h"
#include "journal.h"
#include "mydmm.h"
#include "tvitemmodel.h"
#include "widget.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

namespace {

// 19200 baud, ten bits a byte, 20-byte frames: 96 frames a second. The simulator's period is in
// whole milliseconds, so 10 ms (100 a second) is the closest it comes from above.
constexpr int periodMs = 10;
constexpr int measureMs = 20000;

ItemData* activeItem(Widget& w)
{
    QAbstractItemModel* model = w.findChild<QTreeView*>(QStringLiteral("tvItems"))->model();
    for (int group = 0; group < model->rowCount(); ++group) {
        for (int row = 0; row < model->rowCount(model->index(group, 0)); ++row) {
            const QModelIndex index = model->index(row, 0, model->index(group, 0));
            if (index.data(ActiveRole).toBool())
                return index.data(ItemDataRole).value<ItemData*>();
        }
    }
    return nullptr;
}

// Runs the event loop for ms, sleeping while there is nothing to do, as the program itself would.
void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    FrameCodec::pinTimeZone(); // as the program does at its start
    QApplication app(argc, argv);
    // The window journals what it records: into a folder of this run's own, never the user's.
    QTemporaryDir journalFolder;
    Journal::setFolderOverride(journalFolder.path());
    QProcess sim;
    sim.start(QStringLiteral(METERSIM_PATH),
        { "--period", QString::number(periodMs), "--sequence", "ramp", "--quiet" });
    QString port;
    if (sim.waitForStarted(10000)) {
        while (port.isEmpty() && sim.waitForReadyRead(10000)) {
            const QByteArray line = sim.readLine().trimmed();
            if (line.startsWith("port: "))
                port = QString::fromLocal8Bit(line.mid(6));
        }
    }
    if (port.isEmpty()) {
        std::fprintf(stderr, "cpu_percent_line_rate: the meter simulator did not start\n");
        return 1;
    }

    QFile options(QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml"));
    if (!options.open(QIODevice::WriteOnly)
        || options.write("<options><SampleRate>0</SampleRate><Infinite>1</Infinite></options>")
            < 0) {
        std::fprintf(stderr, "cpu_percent_line_rate: cannot write options.xml\n");
        return 1;
    }
    options.close();
    MyDmm::setPortOverride(port);

    struct Scenario
    {
        const char* name;
        int page; // 0 the table, 1 the chart
        int prefill;
    };
    // One scenario by name ("table", "chart", "chart_1000000") for a profiler, or all of them.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    int status = 0;
    for (const Scenario& scenario : { Scenario { "table", 0, 0 }, Scenario { "chart", 1, 0 },
             Scenario { "chart_1000000", 1, 1000000 } }) {
        if (!only.isEmpty() && only != QLatin1String(scenario.name))
            continue;
        Widget w;
        w.show();
        w.findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(scenario.page);
        ItemData* item = activeItem(w);
        if (item && scenario.prefill > 0) {
            BenchReadings::fill(item, scenario.prefill);
            QMetaObject::invokeMethod(&w, "reloadActiveItem", Qt::DirectConnection);
        }
        w.findChild<QAction*>(QStringLiteral("actionConnect"))->trigger();
        w.findChild<QAction*>(QStringLiteral("actionStart"))->trigger();
        waitMs(3000); // the link settles and the first readings arrive
        const int first = item ? item->readingCount() : 0;
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        waitMs(measureMs);
        const double cpu = cpuSeconds() - cpuBefore;
        const double seconds = wall.elapsed() / 1000.0;
        const int recorded = item ? item->readingCount() - first : 0;
        if (recorded <= 0) {
            std::fprintf(
                stderr, "cpu_percent_line_rate_%s: no readings were recorded\n", scenario.name);
            status = 1;
        } else {
            const double percent = 100.0 * cpu / seconds;
            if (scenario.page == 0 && scenario.prefill == 0) {
                std::printf("cpu_percent_line_rate: %.1f %%\n", percent);
                std::printf("line_rate_readings_per_s: %.1f readings/s\n", recorded / seconds);
            }
            std::printf("cpu_percent_line_rate_%s: %.1f %%\n", scenario.name, percent);
            std::fflush(stdout);
        }
        w.findChild<QAction*>(QStringLiteral("actionDisconnect"))->trigger();
        w.close();
    }
    sim.terminate();
    sim.waitForFinished(5000);
    QFile::remove(options.fileName());
    return status;
}

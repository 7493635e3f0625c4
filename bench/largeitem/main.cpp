// The real window with one large item: the time to switch to it (table and chart loaded and shown),
// the CPU time of one stored live reading while the chart shows it, the CSV export of its table
// and the peak resident memory. The first switch to an item builds the chart's copy of its
// readings; later switches find it kept. Times are CPU times of the window's thread, so that other
// work on a shared machine does not inflate them. Without arguments it runs itself once per size,
// so that each size starts from a fresh process, and prints
//   item_switch_ms_N (the median of three switches), item_switch_first_ms_N,
//   reading_cost_ms_N  for N = 1,000,000 and 8,300,000,
//   csv_export_s_1000000, peak_rss_mb_8300000.

#include "benchreadings.h"
#include "columnheader.h"
#include "cpuseconds.h"
#include "csvexport.h"
#include "datamodel.h"
#include "framecodec.h"
#include "journal.h"
#include "recorder.h"
#include "tvitemmodel.h"
#include "widget.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int repeats = 3;
// The meter line's rate: a reading every 10 ms.
constexpr int readingPeriodMs = 10;
constexpr int readingsMeasured = 200;

double cpuMs()
{
    return cpuSeconds() * 1e3;
}

double threadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

QModelIndex liveRow(Widget& w, int row)
{
    QAbstractItemModel* model = w.findChild<QTreeView*>(QStringLiteral("tvItems"))->model();
    return model->index(row, 0, model->index(1, 0));
}

void activate(Widget& w, const QModelIndex& index)
{
    QMetaObject::invokeMethod(
        &w, "itemSetToActive", Qt::DirectConnection, Q_ARG(QModelIndex, index));
}

// Until the event loop has nothing more to do: pending layouts, repaints and coalesced view work.
void settle(int ms = 300)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int runSize(int argc, char* argv[], int count)
{
    FrameCodec::pinTimeZone(); // as the program does at its start
    QApplication app(argc, argv);
    // The window journals what it records: into a folder of this run's own, never the user's.
    QTemporaryDir journalFolder;
    Journal::setFolderOverride(journalFolder.path());
    QFile options(QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml"));
    if (!options.open(QIODevice::WriteOnly)
        || options.write("<options><SampleRate>0</SampleRate><Infinite>1</Infinite></options>") < 0)
        return 1;
    options.close();

    Widget w;
    w.show();
    auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    auto* recorder = w.findChild<Recorder*>(QStringLiteral("recorder"));
    // The chart page (the histogram's tab is removed at start-up).
    tabs->setCurrentIndex(1);
    settle();

    // Measure1 gets the readings while another item is shown; switching to it loads them.
    const QModelIndex big = liveRow(w, 0);
    ItemData* item = big.data(ItemDataRole).value<ItemData*>();
    QMetaObject::invokeMethod(&w, "newItem", Qt::DirectConnection,
        Q_ARG(QString, QStringLiteral("Empty")), Q_ARG(ItemData::DataType, ItemData::LiveMeasure));
    const QModelIndex empty = liveRow(w, 1);
    BenchReadings::fill(item, count);
    settle();

    std::vector<double> switches;
    for (int i = 0; i < repeats; ++i) {
        const double start = threadCpuMs();
        activate(w, big);
        w.grab(); // what the user sees of it, painted
        switches.push_back(threadCpuMs() - start);
        settle();
        if (i + 1 < repeats) {
            activate(w, empty);
            settle();
        }
    }
    std::printf("item_switch_ms_%d: %.1f ms\n", count, median(switches));
    std::printf("item_switch_first_ms_%d: %.1f ms\n", count, switches.front());
    std::fflush(stdout);

    // Live readings at the line rate into the big item, with the chart shown.
    recorder->setRunning(true);
    std::vector<double> costs;
    QString unitText;
    int next = count;
    for (int i = 0; i < repeats; ++i) {
        const int before = item->readingCount();
        QEventLoop loop;
        QTimer feed;
        int fed = 0;
        QObject::connect(&feed, &QTimer::timeout, &loop, [&] {
            recorder->recordLive(BenchReadings::live(next++, unitText));
            if (++fed == readingsMeasured)
                loop.quit();
        });
        const double start = cpuMs();
        feed.start(readingPeriodMs);
        loop.exec();
        feed.stop();
        settle(); // the view work the last readings scheduled
        const double spent = cpuMs() - start;
        const int stored = item->readingCount() - before;
        if (stored != readingsMeasured) {
            std::fprintf(stderr, "reading_cost: %d of %d readings stored\n", stored, fed);
            return 1;
        }
        costs.push_back(spent / stored);
    }
    recorder->setRunning(false);
    std::printf("reading_cost_ms_%d: %.3f ms\n", count, median(costs));
    std::fflush(stdout);

    if (count == 1000000) {
        auto* model
            = qobject_cast<DataModel*>(w.findChild<QTableView*>(QStringLiteral("tv"))->model());
        QList<ColumnHeader*> headers;
        for (const char* title :
            { "No.", "Date/Time", "Function", "Value", "Unit", "Frequency(Hz)" })
            headers << new ColumnHeader { QString::fromLatin1(title), 2 };
        QTemporaryDir dir;
        if (!model || model->rowCount() < count) {
            std::fprintf(stderr, "csv_export: the table does not show the item\n");
            return 1;
        }
        std::vector<double> exports;
        for (int i = 0; i < repeats; ++i) {
            const double start = threadCpuMs();
            if (!CsvExport::write(model, headers, dir.filePath(QStringLiteral("bench.csv")))) {
                std::fprintf(stderr, "csv_export: the file could not be written\n");
                return 1;
            }
            exports.push_back((threadCpuMs() - start) / 1e3);
        }
        qDeleteAll(headers);
        std::printf("csv_export_s_%d: %.3f s\n", count, median(exports));
    }
    if (count == 8300000) {
        rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::printf("peak_rss_mb_%d: %.0f MB\n", count, usage.ru_maxrss / 1024.0);
    }
    std::fflush(stdout);
    QFile::remove(options.fileName());
    // Tearing down millions of readings is not what is measured.
    std::_Exit(0);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 2 && qstrcmp(argv[1], "--size") == 0)
        return runSize(argc, argv, QByteArray(argv[2]).toInt());

    QCoreApplication app(argc, argv);
    int status = 0;
    for (int count : { 1000000, 8300000 }) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--size"), QString::number(count) });
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            std::fprintf(stderr, "large item %d: the window process failed\n", count);
            status = 1;
        }
        std::fputs(child.readAllStandardOutput().constData(), stdout);
        std::fflush(stdout);
    }
    return status;
}

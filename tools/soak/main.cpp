// vibview-soak --port <path> --seconds <n> [--unplug] [--report <s>]
//
// Opens the main window (run it with QT_QPA_PLATFORM=offscreen), connects to the meter on <path>,
// records every live reading (sample rate 0, no limit) for n seconds and until the line has been
// quiet for two seconds, then checks and prints what it stored. The meter is expected to send a
// ramp 1, 2, 3, ... so any lost, doubled or damaged reading shows. With --unplug the meter goes
// away in the middle: the readings stored must stay as they were and the window must stay usable.
//
// Output lines: "sample: <s> <readings> <table rows> <resident bytes>" while running, then
// "stored: <n>", "sequence errors: <n>", "table rows: <n>", "bytes per reading: <x>",
// "resident: <start> -> <end>", "unplugged: yes|no", and "result: ok|FAILED <why>".
// Exit status 0 when every check passed.

#include "dmmdata.h"
#include "itemdata.h"
#include "journal.h"
#include "mydmm.h"
#include "residentmemory.h"
#include "tvitemmodel.h"
#include "widget.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

namespace {

ItemData* activeItem(Widget& w)
{
    auto* tree = w.findChild<QTreeView*>(QStringLiteral("tvItems"));
    QAbstractItemModel* model = tree->model();
    for (int group = 0; group < model->rowCount(); ++group) {
        const QModelIndex parent = model->index(group, 0);
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            if (index.data(ActiveRole).toBool())
                return index.data(ItemDataRole).value<ItemData*>();
        }
    }
    return nullptr;
}

int tableRows(Widget& w)
{
    const auto* table = w.findChild<QTableView*>(QStringLiteral("tv"));
    return table && table->model() ? table->model()->rowCount() : -1;
}

QAction* action(Widget& w, const char* name)
{
    return w.findChild<QAction*>(QLatin1String(name));
}

// Least-squares slope of resident memory over readings stored.
double slope(const QVector<QPair<double, double>>& points)
{
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto& p : points) {
        n += 1;
        sx += p.first;
        sy += p.second;
        sxx += p.first * p.first;
        sxy += p.first * p.second;
    }
    const double d = n * sxx - sx * sx;
    return d > 0 ? (n * sxy - sx * sy) / d : 0.0;
}

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The window journals what it records: into a folder of this run's own, never the user's.
    QTemporaryDir journalFolder;
    Journal::setFolderOverride(journalFolder.path());
    QCommandLineParser parser;
    parser.addOption({ "port", "Meter port.", "path" });
    parser.addOption({ "seconds", "Least recording time.", "n", "600" });
    parser.addOption({ "report", "Seconds between samples.", "s", "10" });
    parser.addOption({ "unplug", "The meter goes away in the middle." });
    parser.process(app);
    const bool expectUnplug = parser.isSet("unplug");
    const qint64 runMs = parser.value("seconds").toLongLong() * 1000;

    // Every reading passes and is kept: sample rate 0, no limit on points.
    {
        QFile options(QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml"));
        if (!options.open(QIODevice::WriteOnly)
            || options.write("<options><SampleRate>0</SampleRate><Infinite>1</Infinite>"
                             "<SkipRepeat>0</SkipRepeat></options>")
                < 0) {
            say(QStringLiteral("result: FAILED cannot write options.xml beside the program"));
            return 1;
        }
    }
    MyDmm::setPortOverride(parser.value("port"));

    Widget w;
    w.show();
    QCoreApplication::processEvents();
    action(w, "actionConnect")->trigger();
    if (!action(w, "actionDisconnect")->isEnabled()) {
        say(QStringLiteral("result: FAILED could not connect to ") + parser.value("port"));
        return 1;
    }
    action(w, "actionStart")->trigger();
    ItemData* item = activeItem(w);
    if (!item) {
        say(QStringLiteral("result: FAILED no active item"));
        return 1;
    }

    const qint64 rssStart = residentBytes();
    QVector<QPair<double, double>> samples;
    QElapsedTimer clock;
    clock.start();
    int lastCount = 0;
    qint64 lastGrowthMs = 0;
    bool unplugged = false;
    int countAtUnplug = -1;
    qint64 unplugMs = 0;
    QString failure;

    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &w, [&] {
        const int count = item->readingCount();
        say(QStringLiteral("sample: %1 %2 %3 %4")
                .arg(clock.elapsed() / 1000)
                .arg(count)
                .arg(tableRows(w))
                .arg(residentBytes()));
        samples.append({ double(count), double(residentBytes()) });
    });
    sampler.start(parser.value("report").toInt() * 1000);

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &w, [&] {
        const int count = item->readingCount();
        if (count != lastCount) {
            if (unplugged)
                failure = QStringLiteral("readings changed after the unplug");
            lastCount = count;
            lastGrowthMs = clock.elapsed();
        }
        if (!unplugged && !action(w, "actionDisconnect")->isEnabled()) {
            unplugged = true;
            countAtUnplug = count;
            unplugMs = clock.elapsed();
            say(QStringLiteral("unplug seen at %1 s with %2 readings")
                    .arg(unplugMs / 1000)
                    .arg(count));
        }
        const bool quiet = clock.elapsed() - lastGrowthMs > 2000;
        if ((clock.elapsed() >= runMs && quiet) || (unplugged && clock.elapsed() - unplugMs > 3000)
            || clock.elapsed() > runMs + 60000)
            app.quit();
    });
    watch.start(100);
    app.exec();
    sampler.stop();
    watch.stop();

    const QList<DmmData*> readings = item->readings();
    int sequenceErrors = 0;
    for (int i = 0; i < readings.size(); ++i) {
        if (readings.at(i)->value(0) != double(i + 1) && ++sequenceErrors <= 5)
            say(QStringLiteral("reading %1 is %2").arg(i + 1).arg(readings.at(i)->text(0)));
    }
    const int rows = tableRows(w);
    say(QStringLiteral("stored: %1").arg(readings.size()));
    say(QStringLiteral("sequence errors: %1").arg(sequenceErrors));
    say(QStringLiteral("table rows: %1").arg(rows));
    // The first samples include start-up allocations; the slope is taken over the rest.
    say(QStringLiteral("bytes per reading: %1")
            .arg(slope(samples.mid(samples.size() / 5)), 0, 'f', 1));
    say(QStringLiteral("resident: %1 -> %2").arg(rssStart).arg(residentBytes()));
    say(QStringLiteral("unplugged: %1").arg(unplugged ? "yes" : "no"));

    if (failure.isEmpty() && sequenceErrors > 0)
        failure = QStringLiteral("readings lost, doubled or damaged");
    if (failure.isEmpty() && rows != readings.size())
        failure = QStringLiteral("the table does not show every reading");
    if (failure.isEmpty() && unplugged != expectUnplug)
        failure = expectUnplug ? QStringLiteral("the unplug was not noticed")
                               : QStringLiteral("the link closed on its own");
    if (failure.isEmpty() && unplugged) {
        // Still usable: stopping, switching items and painting all work, and nothing moved.
        action(w, "actionStop")->trigger();
        auto* tree = w.findChild<QTreeView*>(QStringLiteral("tvItems"));
        tree->setCurrentIndex(tree->model()->index(0, 0));
        if (w.grab().isNull() || !action(w, "actionConnect")->isEnabled())
            failure = QStringLiteral("the window is not usable after the unplug");
        else if (item->readingCount() != countAtUnplug)
            failure = QStringLiteral("readings changed after the unplug");
    }
    say(failure.isEmpty() ? QStringLiteral("result: ok")
                          : QStringLiteral("result: FAILED ") + failure);
    w.close();
    QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml"));
    return failure.isEmpty() ? 0 : 1;
}

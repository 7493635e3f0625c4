// journal_cpu_percent_line_rate: the share of one core that the journal adds while live readings
// are recorded at the meter line's rate (96 a second): the same readings go through the recorder
// with and without the journal following it, and the difference of the process's CPU time is
// the journal's (its writing thread included).
// restore_s_1000000: from Restore in the window's notice to a session of one million readings
// back in the window.

#include "cpuseconds.h"
#include "itemjournal.h"
#include "itemtree.h"
#include "journal.h"
#include "journalnotice.h"
#include "readingrecord.h"
#include "recorder.h"
#include "sessioncommands.h"
#include "sessionwriter.h"
#include "tvitemmodel.h"
#include "widget.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// 19200 baud, ten bits a byte, 20-byte frames.
constexpr double lineRate = 96.0;
constexpr int phaseMs = 20000;
constexpr int restoreReadings = 1000000;

DmmData* liveReading(int n)
{
    auto* d = new DmmData;
    d->setDateTime(QDateTime::currentDateTime());
    const QString text = QString::number((n % 2000) * 0.01, 'f', 2).rightJustified(5);
    d->addText(text);
    d->addValue(text.toDouble());
    d->setUnit(2, QStringLiteral("cm/s"));
    d->setBand(QStringLiteral("10-1kHz"));
    d->setDetection(QStringLiteral("Vrms"));
    d->setBattery(3);
    return d;
}

// CPU seconds spent while readings arrive at the line rate for phaseMs.
double recordAtLineRate(Recorder& recorder)
{
    int sent = 0;
    QElapsedTimer wall;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        // As many readings as the line would have carried by now.
        const int due = int(wall.elapsed() * lineRate / 1000.0);
        while (sent < due)
            recorder.recordLive(liveReading(sent++));
        if (wall.elapsed() >= phaseMs)
            loop.quit();
    });
    const double before = cpuSeconds();
    wall.start();
    tick.start(10);
    loop.exec();
    return cpuSeconds() - before;
}

double journalCpuPercent(const QString& folder)
{
    Journal::setFolderOverride(folder);
    TvItemModel model;
    ItemTree tree(&model, QIcon());
    tree.addGroups(QStringLiteral("Store Data"), QIcon(), QStringLiteral("Live Data"), QIcon());
    Recorder recorder;
    recorder.setStoreItem(tree.storeItem());
    recorder.setActiveItem(ItemTree::itemAt(tree.addLiveItem(QStringLiteral("Measure1"))));
    recorder.setRunning(true);

    const double without = recordAtLineRate(recorder);
    double with = 0;
    {
        Journal journal(QStringLiteral("bench"));
        ItemJournal following(&tree, &recorder, &journal);
        journal.start();
        with = recordAtLineRate(recorder);
        journal.flush();
    }
    return 100.0 * (with - without) / (phaseMs / 1000.0);
}

// A journal whose last session left a million unsaved readings in one item.
bool writeLargeSession(const QString& folder)
{
    SessionWriter writer;
    if (!writer.open(
            QDir(folder).filePath(QStringLiteral("journal.sqlite")), SessionWriter::Mode::Journal)
        || !writer.begin())
        return false;
    const QDateTime start = QDateTime::currentDateTime().addSecs(-3 * 3600);
    const qint64 session = writer.beginSession(start, QStringLiteral("bench"));
    ItemRecord item;
    item.name = QStringLiteral("Long run");
    item.unit = QStringLiteral("cm/s");
    const qint64 id = writer.addItem(session, item, 1);
    std::unique_ptr<DmmData> reading(liveReading(0));
    ReadingRecord record = ReadingRecord::of(*reading);
    for (int n = 0; n < restoreReadings; ++n) {
        record.dateTime = start.addMSecs(n * 10);
        record.values = QList<double> { (n % 2000) * 0.01 };
        record.texts = QStringList { QString::number((n % 2000) * 0.01, 'f', 2).rightJustified(5) };
        if (!writer.appendReading(id, record))
            return false;
    }
    return writer.endSession(session, start.addSecs(3 * 3600)) && writer.commit();
}

double restoreSeconds(const QString& folder)
{
    Journal::setFolderOverride(folder);
    if (!writeLargeSession(folder))
        return -1;
    Widget w;
    auto* commands = w.findChild<SessionCommands*>();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (commands->journal()->isOpen() || commands->journal()->hasFailed())
            loop.quit();
    });
    poll.start(10);
    loop.exec();
    if (commands->pendingSession().readings != restoreReadings)
        return -1;
    QElapsedTimer timer;
    timer.start();
    w.findChild<JournalNotice*>()->findChild<QPushButton*>(QStringLiteral("btnRestore"))->click();
    const double seconds = timer.elapsed() / 1000.0;
    const QList<ItemData*> items = w.findChild<ItemTree*>()->liveItems();
    if (items.size() != 2 || items.last()->readingCount() != restoreReadings)
        return -1;
    return seconds;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir cpuFolder;
    QTemporaryDir restoreFolder;
    if (!cpuFolder.isValid() || !restoreFolder.isValid()) {
        std::fprintf(stderr, "journal: no temporary folder\n");
        return 1;
    }
    std::printf("journal_cpu_percent_line_rate: %.2f %%\n", journalCpuPercent(cpuFolder.path()));
    std::fflush(stdout);
    const double restore = restoreSeconds(restoreFolder.path());
    if (restore < 0) {
        std::fprintf(stderr, "restore_s_1000000: the session could not be prepared or restored\n");
        return 1;
    }
    std::printf("restore_s_1000000: %.2f s\n", restore);
    Journal::setFolderOverride(QString());
    return 0;
}

// Statistics of a range of an item with a day of readings at the line rate (8,300,000): the
// figures come from block summaries and the two partial blocks at the range's ends.
#include "dmmdata.h"
#include "readingstatistics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int Readings = 8300000;
    // A pool of distinct readings stands for the item's readings; the statistics keep none.
    std::vector<std::unique_ptr<DmmData>> pool;
    QRandomGenerator random(7);
    for (int i = 0; i < 4099; ++i) {
        auto r = std::make_unique<DmmData>();
        const double v = random.bounded(2.0);
        r->addValue(v);
        r->addText(QString::number(v, 'f', 2));
        r->setUnit(2, QStringLiteral("cm/s"));
        r->setDetection(QStringLiteral("Vrms"));
        r->setBand(QStringLiteral("10-1kHz"));
        r->setDateTime(QDateTime::fromMSecsSinceEpoch(1765000000000 + i * 10));
        pool.push_back(std::move(r));
    }
    const auto at = [&pool](int i) { return pool[size_t(i) % pool.size()].get(); };
    ReadingStatistics stats;
    stats.setGrading(SeverityZones::Part1ClassII, 0.71, 1.12);
    stats.rebuild(Readings, at);

    std::vector<double> times;
    for (int round = 0; round < 51; ++round) {
        const int first = int(random.bounded(Readings / 2));
        const int last = first + int(random.bounded(Readings / 2));
        QElapsedTimer timer;
        timer.start();
        const StatisticsFigures f = stats.range(first, last, at);
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (f.readings != last - first + 1) {
            std::fprintf(stderr, "stats_range_ms_8300000: wrong count\n");
            return 1;
        }
    }
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    std::printf("stats_range_ms_8300000: %.3f ms\n", times[times.size() / 2]);
    return 0;
}

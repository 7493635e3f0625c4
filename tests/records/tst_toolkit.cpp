// The engineer's toolkit rules: severity zones by machine class, alarm crossings with hysteresis,
// and statistics kept per block, checked against a straightforward computation.

#include "alarmmonitor.h"
#include "dmmdata.h"
#include "readingstatistics.h"
#include "severityzones.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

Q_DECLARE_METATYPE(SeverityZones::MachineClass)
Q_DECLARE_METATYPE(SeverityZones::Zone)

namespace {

std::unique_ptr<DmmData> reading(double value, int state = DmmData::Numeric, qint64 ms = 0,
    const QString& unit = QStringLiteral("cm/s"), const QString& detection = QStringLiteral("Vrms"),
    const QString& band = QStringLiteral("10-1kHz"))
{
    auto r = std::make_unique<DmmData>();
    r->addValue(value);
    r->addText(QString::number(value));
    r->setState(state);
    r->setUnit(2, unit);
    r->setDetection(detection);
    r->setBand(band);
    r->setDateTime(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
    return r;
}

} // namespace

class ToolkitTest : public QObject
{
    Q_OBJECT

private slots:
    void zoneAtEveryBoundary_data();
    void zoneAtEveryBoundary();
    void notGraded_data();
    void notGraded();
    void classKeysRoundTrip();
    void alarmCrossings_data();
    void alarmCrossings();
    void statisticsMatchAStraightforwardComputation_data();
    void statisticsMatchAStraightforwardComputation();
};

void ToolkitTest::zoneAtEveryBoundary_data()
{
    QTest::addColumn<SeverityZones::MachineClass>("machineClass");
    QTest::addColumn<double>("centimetresPerSecond");
    QTest::addColumn<SeverityZones::Zone>("zone");
    // The meter shows velocity in cm/s; the limits are mm/s, ten times the number shown.
    for (SeverityZones::MachineClass c : SeverityZones::classes()) {
        const SeverityZones::Limits l = SeverityZones::limits(c);
        const double bounds[] = { l.ab, l.bc, l.cd };
        const SeverityZones::Zone below[]
            = { SeverityZones::A, SeverityZones::B, SeverityZones::C };
        for (int b = 0; b < 3; ++b) {
            const QString name = SeverityZones::key(c) + QStringLiteral(" %1 mm/s").arg(bounds[b]);
            const SeverityZones::Zone lower = below[b];
            const auto upper = SeverityZones::Zone(lower + 1);
            QTest::newRow(qPrintable(name + " below")) << c << (bounds[b] - 0.01) / 10 << lower;
            QTest::newRow(qPrintable(name + " on")) << c << bounds[b] / 10 << lower;
            QTest::newRow(qPrintable(name + " above")) << c << (bounds[b] + 0.01) / 10 << upper;
        }
    }
    const auto classII = SeverityZones::Part1ClassII;
    QTest::newRow("zero is zone A") << classII << 0.0 << SeverityZones::A;
    QTest::newRow("as the meter shows it: 0.28 cm/s, on B/C of class II")
        << classII << 0.28 << SeverityZones::B;
}

void ToolkitTest::zoneAtEveryBoundary()
{
    QFETCH(SeverityZones::MachineClass, machineClass);
    QFETCH(double, centimetresPerSecond);
    QFETCH(SeverityZones::Zone, zone);
    const SeverityZones::Grade g
        = SeverityZones::grade(*reading(centimetresPerSecond), machineClass);
    QCOMPARE(g.zone, zone);
    QCOMPARE(g.velocity, centimetresPerSecond * 10);
    QVERIFY(g.reason.isEmpty());
}

void ToolkitTest::notGraded_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("detection");
    QTest::addColumn<QString>("band");
    QTest::addColumn<bool>("withClass");
    QTest::addColumn<QString>("reason");
    const QString v = QStringLiteral("cm/s"), rms = QStringLiteral("Vrms"),
                  b = QStringLiteral("10-1kHz");
    QTest::newRow("no class") << 0 << v << rms << b << false << "no machine class";
    QTest::newRow("acceleration") << 0 << "m/S2" << rms << b << true << "m/S2 is not a velocity";
    QTest::newRow("displacement") << 0 << "mm" << rms << b << true << "mm is not a velocity";
    QTest::newRow("peak") << 0 << v << "Ap" << b << true << "Ap detection";
    QTest::newRow("peak to peak") << 0 << v << "Dp-p" << b << true << "Dp-p detection";
    QTest::newRow("wide band") << 0 << v << rms << "10-10kHz" << true << "band 10-10kHz";
    QTest::newRow("low band") << 0 << v << rms << "10-500Hz" << true << "band 10-500Hz";
    QTest::newRow("over range") << int(DmmData::OverRange) << v << rms << b << true << "over range";
    QTest::newRow("negative over range")
        << int(DmmData::NegativeOverRange) << v << rms << b << true << "over range";
    QTest::newRow("no reading") << int(DmmData::NoReading) << v << rms << b << true << "no reading";
}

void ToolkitTest::notGraded()
{
    QFETCH(int, state);
    QFETCH(QString, unit);
    QFETCH(QString, detection);
    QFETCH(QString, band);
    QFETCH(bool, withClass);
    QFETCH(QString, reason);
    const SeverityZones::Grade g
        = SeverityZones::grade(*reading(0.1, state, 0, unit, detection, band),
            withClass ? SeverityZones::Part1ClassI : SeverityZones::NoClass);
    QCOMPARE(g.zone, SeverityZones::NotGraded);
    QVERIFY2(g.reason.startsWith(QLatin1String("not graded")) && g.reason.contains(reason),
        qPrintable(g.reason));
}

void ToolkitTest::classKeysRoundTrip()
{
    for (SeverityZones::MachineClass c : SeverityZones::classes()) {
        QCOMPARE(SeverityZones::classFromKey(SeverityZones::key(c)), c);
        QVERIFY(SeverityZones::appliedName(c).startsWith(SeverityZones::standard(c) + ' '));
    }
    QCOMPARE(SeverityZones::classFromKey(QStringLiteral("iso-unknown")), SeverityZones::NoClass);
}

void ToolkitTest::alarmCrossings_data()
{
    QTest::addColumn<QList<double>>("values"); // a NaN stands for an "OL" reading
    QTest::addColumn<QStringList>("crossings"); // "alert up@i", "danger down@i"
    const double ol = qQNaN();
    // Alert 7.10, danger 11.0: falling back needs a reading below 6.745 and 10.45.
    QTest::newRow("up once, hovering")
        << QList<double> { 5, 7.2, 7.0, 7.2, 6.8, 7.3 } << QStringList { "alert up@1" };
    QTest::newRow("down below the hysteresis, up again") << QList<double> { 7.2, 6.7,
        7.2 } << QStringList { "alert up@0", "alert down@1", "alert up@2" };
    QTest::newRow("a level is not above itself") << QList<double> { 7.1, 7.1 } << QStringList {};
    QTest::newRow("both at once, then back down") << QList<double> { 12, 10.5, 10.4,
        1 } << QStringList { "alert up@0", "danger up@0", "danger down@2", "alert down@3" };
    QTest::newRow("over range is above every level") << QList<double> { 1, ol,
        1 } << QStringList { "alert up@1", "danger up@1", "danger down@2", "alert down@2" };
}

void ToolkitTest::alarmCrossings()
{
    QFETCH(QList<double>, values);
    QFETCH(QStringList, crossings);
    AlarmMonitor monitor;
    monitor.setLevels(7.10, 11.0);
    QStringList seen;
    for (int i = 0; i < values.size(); ++i) {
        const bool ol = std::isnan(values.at(i));
        for (const AlarmMonitor::Crossing& c :
            monitor.feed(ol ? DmmData::OverRange : DmmData::Numeric, ol ? 0.0 : values.at(i)))
            seen << QStringLiteral("%1 %2@%3")
                        .arg(c.level == AlarmMonitor::Alert ? "alert" : "danger",
                            c.upwards ? "up" : "down")
                        .arg(i);
    }
    QCOMPARE(seen, crossings);
}

void ToolkitTest::statisticsMatchAStraightforwardComputation_data()
{
    QTest::addColumn<int>("readings");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("whole item") << 5000 << 0 << 4999;
    QTest::newRow("within one block") << 5000 << 70 << 90;
    QTest::newRow("across blocks, partial ends") << 5000 << 33 << 4111;
    QTest::newRow("block-aligned") << 5000 << 64 << 1279;
    QTest::newRow("one reading") << 5000 << 4999 << 4999;
    QTest::newRow("past the end is bounded") << 300 << 250 << 900;
}

// Random readings with over-range and no-reading values mixed in, blocks of 64 so that ranges
// cross many of them.
void ToolkitTest::statisticsMatchAStraightforwardComputation()
{
    QFETCH(int, readings);
    QFETCH(int, first);
    QFETCH(int, last);
    QRandomGenerator random(42);
    std::vector<std::unique_ptr<DmmData>> item;
    for (int i = 0; i < readings; ++i) {
        const quint32 kind = random.bounded(20);
        const int state = kind == 0 ? DmmData::OverRange
            : kind == 1             ? DmmData::NegativeOverRange
            : kind == 2             ? DmmData::NoReading
                                    : DmmData::Numeric;
        item.push_back(reading(
            state == DmmData::Numeric ? random.bounded(2.0) : 0.0, state, 1000000 + i * 250));
    }
    const double alert = 0.71, danger = 1.12; // class II's A/B boundary and more, in cm/s
    ReadingStatistics stats(64);
    stats.setGrading(SeverityZones::Part1ClassII, alert, danger);
    const auto at = [&item](int i) { return item.at(size_t(i)).get(); };
    stats.rebuild(readings, at);

    // The straightforward way: one pass over the range.
    last = qMin(last, readings - 1);
    int count = 0, overRange = 0, noReading = 0, aboveAlert = 0, aboveDanger = 0;
    double sum = 0, sumSquares = 0, minimum = qInf(), maximum = -qInf();
    std::array<int, 5> perZone {};
    for (int i = first; i <= last; ++i) {
        const DmmData& r = *item.at(size_t(i));
        if (r.state() == DmmData::OverRange || r.state() == DmmData::NegativeOverRange) {
            ++overRange;
            continue;
        }
        if (r.state() == DmmData::NoReading) {
            ++noReading;
            continue;
        }
        const double v = r.value(0);
        ++count;
        sum += v;
        sumSquares += v * v;
        minimum = qMin(minimum, v);
        maximum = qMax(maximum, v);
        ++perZone[SeverityZones::grade(r, SeverityZones::Part1ClassII).zone];
        aboveAlert += v > alert;
        aboveDanger += v > danger;
    }
    const double mean = sum / count;
    double squaredDeviations = 0;
    for (int i = first; i <= last; ++i) {
        const DmmData& r = *item.at(size_t(i));
        if (r.state() == DmmData::Numeric)
            squaredDeviations += (r.value(0) - mean) * (r.value(0) - mean);
    }

    const StatisticsFigures f
        = first == 0 && last == readings - 1 ? stats.whole() : stats.range(first, last, at);
    QCOMPARE(f.readings, last - first + 1);
    QCOMPARE(f.count, count);
    QCOMPARE(f.overRange, overRange);
    QCOMPARE(f.noReading, noReading);
    QCOMPARE(f.minimum, minimum);
    QCOMPARE(f.maximum, maximum);
    QVERIFY(qAbs(f.mean - mean) < 1e-9);
    QVERIFY(qAbs(f.rms - std::sqrt(sumSquares / count)) < 1e-9);
    const double sd = count > 1 ? std::sqrt(squaredDeviations / (count - 1)) : 0.0;
    QVERIFY2(qAbs(f.standardDeviation - sd) < 1e-9,
        qPrintable(QString::number(f.standardDeviation - sd)));
    QCOMPARE(f.perZone, perZone);
    QCOMPARE(f.aboveAlert, aboveAlert);
    QCOMPARE(f.aboveDanger, aboveDanger);
    QCOMPARE(f.firstMs, 1000000 + first * 250);
    QCOMPARE(f.durationMs(), qint64(last - first) * 250);
}

QTEST_MAIN(ToolkitTest)
#include "tst_toolkit.moc"

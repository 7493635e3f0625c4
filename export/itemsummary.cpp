#include "itemsummary.h"

#include "dmmdata.h"
#include "itemdata.h"

#include <QCoreApplication>
#include <QDateTime>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ItemSummary", text);
}

} // namespace

ItemSummary ItemSummary::of(const ItemData* item)
{
    ItemSummary s;
    if (!item)
        return s;
    const ItemProperties properties = item->properties();
    s.name = item->name();
    s.note = properties.note;
    s.unit = item->unitText();
    s.fromStore = item->type() == ItemData::StoreData;
    s.machineClass = properties.machineClass;
    s.alertLevel = properties.alertLevel;
    s.dangerLevel = properties.dangerLevel;

    const QList<DmmData*> readings = item->readings();
    ReadingStatistics statistics;
    statistics.setGrading(s.machineClass, s.alertLevel, s.dangerLevel);
    statistics.rebuild(readings.size(), [&readings](int i) { return readings.at(i); });
    s.figures = statistics.whole();

    // Most readings of an item share detection, band and decimals; the few distinct ones are
    // collected cheaply by comparing with the previous reading.
    QString detection;
    QString band;
    std::array<int, 8> decimalsSeen {};
    for (const DmmData* r : readings) {
        if (r->detection() != detection) {
            detection = r->detection();
            if (!detection.isEmpty() && !s.detections.contains(detection))
                s.detections << detection;
        }
        if (r->band() != band) {
            band = r->band();
            if (!band.isEmpty() && !s.bands.contains(band))
                s.bands << band;
        }
        if (r->state() == DmmData::Numeric)
            ++decimalsSeen[size_t(qBound(0, decimalsOf(r->text(0)), 7))];
        if (s.unit.isEmpty())
            s.unit = r->unit().text;
    }
    if (s.figures.count > 0)
        s.decimals = int(
            std::max_element(decimalsSeen.begin(), decimalsSeen.end()) - decimalsSeen.begin());

    for (int z = SeverityZones::D; z >= SeverityZones::A; --z) {
        if (s.figures.perZone[size_t(z)] > 0) {
            s.worstZone = SeverityZones::Zone(z);
            break;
        }
    }
    if (s.graded()) {
        for (int i = readings.size() - 1; i >= 0; --i) {
            const SeverityZones::Zone zone
                = SeverityZones::grade(*readings.at(i), s.machineClass).zone;
            if (zone != SeverityZones::NotGraded) {
                s.lastZone = zone;
                break;
            }
        }
    }
    return s;
}

QString ItemSummary::valueText(double value) const
{
    return QStringLiteral("%1 %2").arg(QString::number(value, 'f', decimals), unit).trimmed();
}

SeverityZones::Limits ItemSummary::limitsInUnit() const
{
    SeverityZones::Limits l = SeverityZones::limits(machineClass);
    // The meter shows velocity in cm/s; the limits are published in mm/s.
    if (unit == QLatin1String("cm/s")) {
        l.ab /= 10.0;
        l.bc /= 10.0;
        l.cd /= 10.0;
    }
    return l;
}

QVector<SummaryLine> ItemSummary::propertyLines() const
{
    const auto text = [](const QString& label, const QString& value) {
        return SummaryLine { label, value.isEmpty() ? SummaryLine::Empty : SummaryLine::Text, value,
            0.0, 0 };
    };
    const auto level = [this](const QString& label, const std::optional<double>& value) {
        if (!value)
            return SummaryLine { label, SummaryLine::Text, tr("none"), 0.0, 0 };
        return SummaryLine { label, SummaryLine::Value, valueText(*value), *value, 0 };
    };
    QVector<SummaryLine> lines;
    lines << text(tr("Item"), name) << text(tr("Note"), note) << text(tr("Unit"), unit)
          << text(tr("Detection"), detections.join(QStringLiteral(", ")))
          << text(tr("Band"), bands.join(QStringLiteral(", ")))
          << text(tr("Machine class"),
                 graded() ? SeverityZones::appliedName(machineClass) : tr("none (not graded)"));
    if (graded()) {
        const SeverityZones::Limits l = SeverityZones::limits(machineClass);
        lines << text(tr("Zone limits (mm/s RMS)"),
            tr("A/B %1, B/C %2, C/D %3").arg(l.ab).arg(l.bc).arg(l.cd));
    } else {
        lines << text(tr("Zone limits (mm/s RMS)"), QString());
    }
    lines << level(tr("Alert level"), alertLevel) << level(tr("Danger level"), dangerLevel)
          << text(tr("Times"), timeSource());
    return lines;
}

QVector<SummaryLine> ItemSummary::statisticLines() const
{
    const StatisticsFigures& f = figures;
    const auto count = [](const QString& label, int n, bool applies = true) {
        if (!applies)
            return SummaryLine { label, SummaryLine::Empty, QString(), 0.0, 0 };
        return SummaryLine { label, SummaryLine::Count, QString::number(n), double(n), 0 };
    };
    const auto value = [&](const QString& label, double v) {
        if (f.count == 0)
            return SummaryLine { label, SummaryLine::Empty, QString(), 0.0, 0 };
        return SummaryLine { label, SummaryLine::Value, valueText(v), v, 0 };
    };
    const auto time = [&](const QString& label, qint64 ms) {
        if (f.readings == 0)
            return SummaryLine { label, SummaryLine::Empty, QString(), 0.0, 0 };
        return SummaryLine { label, SummaryLine::Time, timeText(ms), 0.0, ms };
    };
    const auto zone = [&](const QString& label, SeverityZones::Zone z) {
        if (z == SeverityZones::NotGraded)
            return SummaryLine { label, SummaryLine::Empty, QString(), 0.0, 0 };
        return SummaryLine { label, SummaryLine::Text,
            QStringLiteral("%1: %2").arg(
                SeverityZones::zoneLetter(z), SeverityZones::zoneMeaning(z)),
            0.0, 0 };
    };
    QVector<SummaryLine> lines;
    lines << count(tr("Readings"), f.readings) << count(tr("Numeric readings"), f.count)
          << value(tr("Minimum"), f.minimum) << value(tr("Maximum"), f.maximum)
          << value(tr("Mean"), f.mean) << value(tr("RMS"), f.rms)
          << value(tr("Standard deviation"), f.standardDeviation) << time(tr("First"), f.firstMs)
          << time(tr("Last"), f.lastMs);
    if (f.readings > 0)
        lines << SummaryLine { tr("Duration"), SummaryLine::Duration, durationText(f.durationMs()),
            0.0, f.durationMs() };
    else
        lines << SummaryLine { tr("Duration"), SummaryLine::Empty, QString(), 0.0, 0 };
    lines << zone(tr("Worst zone"), worstZone) << zone(tr("Last zone"), lastZone);
    for (int z = SeverityZones::A; z <= SeverityZones::D; ++z)
        lines << count(tr("Zone %1").arg(SeverityZones::zoneLetter(SeverityZones::Zone(z))),
            f.perZone[size_t(z)], graded());
    lines << count(tr("Above alert level"), f.aboveAlert, bool(alertLevel))
          << count(tr("Above danger level"), f.aboveDanger, bool(dangerLevel))
          << count(tr("Over range"), f.overRange) << count(tr("No reading"), f.noReading);
    return lines;
}

QString ItemSummary::timeSource() const
{
    if (fromStore)
        return tr("Time of the download: the meter keeps no time with the readings in its "
                  "memory, so every time is when the reading reached the computer");
    return tr("Time of the reading, by the computer's clock");
}

int ItemSummary::decimalsOf(const QString& text)
{
    const QString t = text.trimmed();
    const int dot = t.indexOf(QLatin1Char('.'));
    return dot < 0 ? 0 : t.size() - dot - 1;
}

QString ItemSummary::timeText(qint64 msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

QString ItemSummary::durationText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

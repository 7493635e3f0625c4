#pragma once

#include "readingstatistics.h"
#include "severityzones.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

class DmmData;
class ItemData;

// One line of a summary: a label and a value of a kind a spreadsheet can keep as such.
struct SummaryLine
{
    enum Kind { Empty, Text, Value, Count, Time, Duration };
    QString label;
    Kind kind = Empty;
    QString text; // Text; and the shown form of every other kind
    double number = 0.0; // Value, Count
    qint64 ms = 0; // Time (since the epoch), Duration
};

// What the workbook's summary and the report's first page tell about one item: its properties,
// the meter settings its readings were taken with, the statistics and the zone assessment.
struct ItemSummary
{
    QString name;
    QString note;
    QString unit;
    QStringList detections; // as they occur, each once
    QStringList bands;
    bool fromStore = false; // times are those of the download
    SeverityZones::MachineClass machineClass = SeverityZones::NoClass;
    std::optional<double> alertLevel;
    std::optional<double> dangerLevel;
    StatisticsFigures figures;
    SeverityZones::Zone worstZone = SeverityZones::NotGraded;
    SeverityZones::Zone lastZone = SeverityZones::NotGraded;
    int decimals = 2; // as the meter shows its values

    static ItemSummary of(const ItemData* item);

    bool graded() const { return machineClass != SeverityZones::NoClass; }
    bool hasLevels() const { return alertLevel || dangerLevel; }
    // A value in the item's unit, with the meter's decimals.
    QString valueText(double value) const;
    // The zone boundaries in the item's unit, for drawing (the limits themselves are in mm/s).
    SeverityZones::Limits limitsInUnit() const;

    // Says where the times of the readings come from; for "Store Data" that they are the
    // time of the download.
    QString timeSource() const;

    // Item, note, unit, detection, band, machine class, zone limits, levels, where the times
    // come from.
    QVector<SummaryLine> propertyLines() const;
    // The statistics and the zone assessment; lines that do not apply (zones without a class,
    // counts above levels without levels) are Empty, so that items line up side by side.
    QVector<SummaryLine> statisticLines() const;

    // Decimals of a reading's value text ("2.41" has 2).
    static int decimalsOf(const QString& text);
    static QString timeText(qint64 msSinceEpoch);
    static QString durationText(qint64 ms);
};

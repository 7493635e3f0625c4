#include "alarmmonitor.h"

#include "dmmdata.h"

#include <cmath>

void AlarmMonitor::setLevels(std::optional<double> alert, std::optional<double> danger)
{
    this->alert = alert;
    this->danger = danger;
    reset();
}

void AlarmMonitor::reset()
{
    aboveAlert = false;
    aboveDanger = false;
}

QVector<AlarmMonitor::Crossing> AlarmMonitor::feed(int state, double value)
{
    const std::optional<Crossing> onAlert = check(Alert, state, value);
    const std::optional<Crossing> onDanger = check(Danger, state, value);
    QVector<Crossing> crossings;
    // Going up the lower level is crossed first; coming down the higher one is left first.
    for (const std::optional<Crossing>& c : { onAlert, onDanger }) {
        if (c && c->upwards)
            crossings << *c;
    }
    for (const std::optional<Crossing>& c : { onDanger, onAlert }) {
        if (c && !c->upwards)
            crossings << *c;
    }
    return crossings;
}

std::optional<AlarmMonitor::Crossing> AlarmMonitor::check(Level which, int state, double value)
{
    const std::optional<double> threshold = level(which);
    if (!threshold || state == DmmData::NegativeOverRange || state == DmmData::NoReading)
        return std::nullopt;
    bool& above = which == Alert ? aboveAlert : aboveDanger;
    const bool overRange = state == DmmData::OverRange;
    if (!above && (overRange || value > *threshold)) {
        above = true;
        return Crossing { which, true, value, *threshold };
    }
    const double fallBack = *threshold - std::fabs(*threshold) * Hysteresis;
    if (above && !overRange && value < fallBack) {
        above = false;
        return Crossing { which, false, value, *threshold };
    }
    return std::nullopt;
}

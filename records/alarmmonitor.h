#pragma once

#include <QVector>

#include <optional>

// Watches an item's readings against its alert and danger levels. A level is crossed upwards by a
// reading above it, and fallen back below only by a reading 5 % under it, so readings hovering at
// a level count as one crossing. An over-range reading ("OL") is above every level; a negative
// over-range or no reading tells nothing and changes nothing.
class AlarmMonitor
{
public:
    enum Level { Alert, Danger };
    static constexpr double Hysteresis = 0.05;

    struct Crossing
    {
        Level level = Alert;
        bool upwards = true;
        double value = 0.0;
        double threshold = 0.0;
    };

    // New levels start from "below" for both.
    void setLevels(std::optional<double> alert, std::optional<double> danger);
    std::optional<double> level(Level which) const { return which == Alert ? alert : danger; }
    bool isAbove(Level which) const { return which == Alert ? aboveAlert : aboveDanger; }
    void reset();

    // The crossings this reading causes, alert before danger going up, danger before alert going
    // down.
    QVector<Crossing> feed(int state, double value);

private:
    std::optional<Crossing> check(Level which, int state, double value);

    std::optional<double> alert;
    std::optional<double> danger;
    bool aboveAlert = false;
    bool aboveDanger = false;
};

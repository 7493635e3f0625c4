#pragma once

#include "severityzones.h"

#include <QWidget>

// The severity zone of the reading the readout shows, beside the readout: the zone's letter on
// its colour, amber or red while the readings are above the alert or danger level.
class ZoneBadge : public QWidget
{
    Q_OBJECT

public:
    enum Alarm { NoAlarm, AboveAlert, AboveDanger };

    explicit ZoneBadge(QWidget* parent = nullptr);

    void setState(SeverityZones::Zone zone, Alarm alarm, const QString& explanation);
    SeverityZones::Zone zone() const { return shownZone; }
    Alarm alarm() const { return shownAlarm; }
    // The colour the badge is filled with.
    QColor fill() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SeverityZones::Zone shownZone = SeverityZones::NotGraded;
    Alarm shownAlarm = NoAlarm;
};

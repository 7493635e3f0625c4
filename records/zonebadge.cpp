#include "zonebadge.h"

#include "zonecolors.h"

#include <QPainter>

ZoneBadge::ZoneBadge(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setToolTip(SeverityZones::zoneMeaning(SeverityZones::NotGraded));
}

void ZoneBadge::setState(SeverityZones::Zone zone, Alarm alarm, const QString& explanation)
{
    if (explanation != toolTip())
        setToolTip(explanation);
    if (zone == shownZone && alarm == shownAlarm)
        return;
    shownZone = zone;
    shownAlarm = alarm;
    update();
}

QColor ZoneBadge::fill() const
{
    if (shownAlarm == AboveDanger)
        return ZoneColors::danger();
    if (shownAlarm == AboveAlert)
        return ZoneColors::alert();
    return ZoneColors::zone(shownZone);
}

QSize ZoneBadge::sizeHint() const
{
    const int side = fontMetrics().height() * 3;
    return QSize(side, side);
}

void ZoneBadge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(2, 2, -2, -2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill());
    painter.drawRoundedRect(box, 6, 6);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(qMax(8, int(box.height() * 0.55)));
    painter.setFont(font);
    painter.setPen(shownZone == SeverityZones::B && shownAlarm == NoAlarm ? Qt::black : Qt::white);
    const QString letter = SeverityZones::zoneLetter(shownZone);
    painter.drawText(box, Qt::AlignCenter, letter.isEmpty() ? QStringLiteral("-") : letter);
}

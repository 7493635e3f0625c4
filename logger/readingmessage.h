#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class DmmData;

// The JSON a reading is published as, keys always in this order:
// {"time":"2026-12-08T14:03:05.250+01:00","value":7.52,"text":"  7.52","unit":"cm/s",
//  "detection":"Vrms","band":"10-1kHz","state":"ok","battery":3,
//  "status":[false,false,false,false]}
namespace ReadingMessage {

QByteArray json(const DmmData& reading);

// The reading's local time with milliseconds and its offset from UTC; "+00:00" rather than "Z",
// so that every message has the same shape.
QString time(const QDateTime& dateTime);

// The same instant and wall time with the local offset fixed, so that the outputs asking for
// it again do not look the zone up each time.
QDateTime fixedOffset(const QDateTime& dateTime);

// "ok", "over range", "negative over range" or "no reading"; the state's number otherwise.
QString stateWord(int state);

} // namespace ReadingMessage

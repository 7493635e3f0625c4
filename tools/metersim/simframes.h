#pragma once

#include <QByteArray>

// What the meter puts into one reading frame.
struct SimReading
{
    QByteArray text = "12.34"; // value field, padded or cut to five characters
    int record = 0; // record number, 0 to 9999, sent as four ASCII digits
    int band = 2;
    int status = 0;
    int unit = 2;
    int detection = 4;
    int batteryBits = 8;
};

// The meter's side of the wire protocol, written independently of the program's codec so the two
// check each other.
namespace SimFrames {

enum : int { Live = 0, Stored = 1 };

// A 20-byte data frame: AB CD 14, type, value field, record digits, codes, checksum high first.
QByteArray readingFrame(int type, const SimReading& reading);

enum class CommandResult { NeedMore, Command, BadFrame };

// Takes the next command frame (AA BB ...) off the front of buffer into payload; bytes before a
// header are skipped. A frame whose checksum fails gives BadFrame with its bytes in payload.
CommandResult takeCommand(QByteArray& buffer, QByteArray& payload);

} // namespace SimFrames

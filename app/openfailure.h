#pragma once

#include <QString>

// Why the meter's port could not be opened, in words a user can act on.
namespace OpenFailure {

enum class Reason { NoPort, PermissionDenied, Busy, NotSerialPort };

// What stands at a port's path, as far as the system tells without taking the port from anyone.
enum class DeviceKind {
    Terminal, // a serial port (a terminal device)
    Held, // a terminal device another program holds exclusively
    Other, // a regular file, a folder, a pipe, /dev/null...
    Unknown, // it could not be looked at (no permission, or the platform does not tell)
};
// Platform glue (openfailure_unix.cpp, openfailure_win.cpp).
DeviceKind deviceKind(const QString& path);

// Looks at the port the link would have used: the override when one is set, otherwise the
// first port with the meter's USB identifiers.
QString describe(const QString& portOverride);

// The reason for one port path; an empty path means no meter port was found.
Reason classify(const QString& path);
QString text(Reason reason, const QString& path);
// The same, saying whether the meter's access rule (the package's udev rule) is installed.
QString text(Reason reason, const QString& path, bool ruleInstalled);

// Whether udev has the rule that gives the user at the computer access to the meter's adapter.
bool accessRuleInstalled();

} // namespace OpenFailure

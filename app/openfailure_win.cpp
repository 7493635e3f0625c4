#include "openfailure.h"

namespace OpenFailure {

// A COM port name is no file the system describes; the other reasons decide.
DeviceKind deviceKind(const QString& path)
{
    Q_UNUSED(path)
    return DeviceKind::Unknown;
}

} // namespace OpenFailure

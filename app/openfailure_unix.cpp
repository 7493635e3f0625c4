#include "openfailure.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace OpenFailure {

DeviceKind deviceKind(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::stat(name.constData(), &info) != 0)
        return DeviceKind::Unknown;
    if (!S_ISCHR(info.st_mode))
        return DeviceKind::Other;
    // Non-blocking and without becoming our controlling terminal: only to ask what it is.
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == EBUSY ? DeviceKind::Held : DeviceKind::Unknown;
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal ? DeviceKind::Terminal : DeviceKind::Other;
}

} // namespace OpenFailure

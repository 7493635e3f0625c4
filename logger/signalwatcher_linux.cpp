#include "signalwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int writeEnd = -1;

void handle(int signalNumber)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    if (writeEnd >= 0 && ::write(writeEnd, &number, 1) < 0) { }
    errno = saved;
}

} // namespace

SignalWatcher::SignalWatcher(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return;
    writeEnd = fds[0];
    notifier = std::make_unique<QSocketNotifier>(fds[1], QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &SignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A broker that closes its end while a message is being written must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
}

SignalWatcher::~SignalWatcher()
{
    if (fds[0] < 0)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    writeEnd = -1;
    notifier.reset();
    ::close(fds[0]);
    ::close(fds[1]);
}

bool SignalWatcher::isWatching() const
{
    return notifier != nullptr;
}

void SignalWatcher::readSignal()
{
    unsigned char number = 0;
    while (::read(fds[1], &number, 1) == 1)
        emit signalled(number);
}

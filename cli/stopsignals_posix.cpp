#include "stopsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The signal handler may only write to a descriptor; the main thread reads the other end.
int wakePair[2] = {-1, -1};

extern "C" void requestStop(int)
{
    const char byte = 1;
    const ssize_t written = ::write(wakePair[0], &byte, 1);
    (void)written;
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, wakePair) == 0) {
        for (int fd : wakePair)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        notifier = new QSocketNotifier(wakePair[1], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char byte;
            const ssize_t got = ::read(wakePair[1], &byte, 1);
            (void)got;
            emit stopRequested();
        });
        struct sigaction action = {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
    }
}

StopSignals::~StopSignals()
{
    if (notifier) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        delete notifier;
        ::close(wakePair[0]);
        ::close(wakePair[1]);
        wakePair[0] = wakePair[1] = -1;
    }
}

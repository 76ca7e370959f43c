#include "stopsignals.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// The signal handler may only write to a descriptor; the main thread reads the other end.
int wakePair[2] = {-1, -1};

extern "C" void requestStop(int)
{
    const char byte = 1;
    const ssize_t written = ::write(wakePair[0], &byte, 1);
    (void)written;
}
#endif

#ifdef Q_OS_WIN
std::atomic<StopSignals *> current{nullptr};

BOOL WINAPI consoleControl(DWORD)
{
    // Called on a thread of its own: ask the main thread to stop, then let it finish.
    if (StopSignals *target = current.load())
        QMetaObject::invokeMethod(target, "stopRequested", Qt::QueuedConnection);
    return TRUE;
}
#endif

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_UNIX
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
#elif defined(Q_OS_WIN)
    current = this;
    SetConsoleCtrlHandler(consoleControl, TRUE);
#endif
}

StopSignals::~StopSignals()
{
#ifdef Q_OS_UNIX
    if (notifier) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        delete notifier;
        ::close(wakePair[0]);
        ::close(wakePair[1]);
        wakePair[0] = wakePair[1] = -1;
    }
#elif defined(Q_OS_WIN)
    SetConsoleCtrlHandler(consoleControl, FALSE);
    current = nullptr;
#endif
}

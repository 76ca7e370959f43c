#ifndef TIMEDAPPLICATION_H
#define TIMEDAPPLICATION_H

// What the window benchmarks share: a figure's line, an application that times every event the GUI thread
// handles, a way to let the event loop run for a while, and the process's memory.

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace bench {

// One figure on a line of its own, as `name: value unit`, out at once.
inline void print(const char *name, double value, const char *unit)
{
    std::printf("%s: %.6g %s\n", name, value, unit);
    std::fflush(stdout);
}

inline double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Times every event the GUI thread handles, outermost dispatch only: in wall time (what the
// operator sees) and in the GUI thread's own CPU time (what is left when the machine is busy
// with other work).
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        if (depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --depth;
            return handled;
        }
        // Named before the event is handled: the event may delete its receiver (a deferred
        // delete) or the receiver's parent.
        const char *receiverClass = receiver->metaObject()->className();
        const QObject *owner = receiver->parent();
        const char *ownerClass = owner ? owner->metaObject()->className() : nullptr;
        const int eventType = int(event->type());
        QElapsedTimer clock;
        clock.start();
        const double cpuBefore = threadCpuMs();
        const bool handled = QApplication::notify(receiver, event);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (measuring)
            longestTickCpuMs = std::max(longestTickCpuMs, threadCpuMs() - cpuBefore);
        if (measuring && ms > 60)
            ++ticksOver60Ms;
        if (measuring && ms > longestTickMs) {
            longestTickMs = ms;
            longestTickWhat = QStringLiteral("event %1 to %2 of %3").arg(eventType)
                                  .arg(QString::fromLatin1(receiverClass))
                                  .arg(ownerClass ? QString::fromLatin1(ownerClass) : QStringLiteral("no parent"));
        }
        --depth;
        return handled;
    }

    bool measuring = false;
    double longestTickMs = 0;
    double longestTickCpuMs = 0;
    int ticksOver60Ms = 0;
    QString longestTickWhat;

private:
    int depth = 0;
};

// The process's memory in MB from one field of /proc/self/status ("VmRSS:", "VmHWM:").
inline double residentMb(const char *field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// Lets the event loop run for ms milliseconds.
inline void runFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace bench

#endif // TIMEDAPPLICATION_H

#include "scriptwatchdog.h"

#include <QJSEngine>

#include <ctime>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using std::chrono::steady_clock;

ScriptWatchdog::ScriptWatchdog(QJSEngine *engine, std::chrono::milliseconds limit)
    : engine(engine), limit(limit), watcher(&ScriptWatchdog::watch, this)
{
}

ScriptWatchdog::~ScriptWatchdog()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        quitting = true;
    }
    wake.notify_one();
    watcher.join();
#ifdef Q_OS_WIN
    if (evaluatingThread)
        CloseHandle(evaluatingThread);
#endif
}

void ScriptWatchdog::start()
{
    std::lock_guard<std::mutex> guard(lock);
    evaluating = true;
    ++evaluation;
    startedAt = steady_clock::now();
#ifdef Q_OS_LINUX
    pthread_getcpuclockid(pthread_self(), &evaluatingThreadClock);
#elif defined(Q_OS_WIN)
    // A handle of its own: GetCurrentThread() would name the watching thread when used there.
    if (GetCurrentThreadId() != evaluatingThreadId) {
        if (evaluatingThread)
            CloseHandle(evaluatingThread);
        evaluatingThreadId = GetCurrentThreadId();
        evaluatingThread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, evaluatingThreadId);
    }
#endif
    if (idle) {
        idle = false;
        wake.notify_one();
    }
}

bool ScriptWatchdog::finish()
{
    // Under the lock, so that an interruption meant for this evaluation cannot reach the next.
    std::lock_guard<std::mutex> guard(lock);
    evaluating = false;
    const bool interrupted = engine->isInterrupted();
    if (interrupted)
        engine->setInterrupted(false);
    return interrupted;
}

std::chrono::nanoseconds ScriptWatchdog::evaluatingThreadTime() const
{
#ifdef Q_OS_LINUX
    timespec used{};
    if (clock_gettime(evaluatingThreadClock, &used) == 0)
        return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
#elif defined(Q_OS_WIN)
    FILETIME created, exited, kernel, user;
    if (evaluatingThread && GetThreadTimes(evaluatingThread, &created, &exited, &kernel, &user)) {
        const auto ticks = [](const FILETIME &t) {
            return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        };
        // In units of 100 ns.
        return std::chrono::nanoseconds((ticks(kernel) + ticks(user)) * 100);
    }
#endif
    return steady_clock::now().time_since_epoch();
}

void ScriptWatchdog::watch()
{
    std::unique_lock<std::mutex> guard(lock);
    std::uint64_t watched = 0;
    bool timing = false; // whether the watched evaluation's processor time is being counted
    std::chrono::nanoseconds timeAtMark{};
    steady_clock::time_point nextLook;
    while (!quitting) {
        if (!evaluating) {
            // Nothing to watch: sleep until the next evaluation starts.
            idle = true;
            wake.wait(guard, [this] { return quitting || !idle; });
            continue;
        }
        if (evaluation != watched) {
            watched = evaluation;
            timing = false;
            nextLook = startedAt + limit;
        }
        const auto now = steady_clock::now();
        if (now < nextLook) {
            wake.wait_until(guard, nextLook);
            continue;
        }
        const auto threadTime = evaluatingThreadTime();
        if (!timing) {
            // Running for the limit by the clock: from now on count its processor time.
            timing = true;
            timeAtMark = threadTime;
        } else if (threadTime - timeAtMark >= limit) {
            engine->setInterrupted(true);
        }
        nextLook = now + limit / 4;
    }
}

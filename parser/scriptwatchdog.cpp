#include "scriptwatchdog.h"

#include <QJSEngine>

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
}

void ScriptWatchdog::start()
{
    std::lock_guard<std::mutex> guard(lock);
    evaluating = true;
    ++evaluation;
    startedAt = steady_clock::now();
    evaluatingThreadClock.followCurrentThread();
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
        const auto threadTime = evaluatingThreadClock.used();
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

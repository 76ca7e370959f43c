#include "scriptwatchdog.h"

#include <QJSEngine>

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
    startedAt = std::chrono::steady_clock::now();
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
    while (!quitting) {
        if (!evaluating) {
            // Nothing to watch: sleep until the next evaluation starts.
            idle = true;
            wake.wait(guard, [this] { return quitting || !idle; });
            continue;
        }
        const auto deadline = startedAt + limit;
        if (std::chrono::steady_clock::now() >= deadline) {
            engine->setInterrupted(true);
            // The evaluation ends soon; look again a time limit later.
            wake.wait_for(guard, limit);
            continue;
        }
        // Woken at the deadline of the evaluation seen now; a later one has a later deadline.
        wake.wait_until(guard, deadline);
    }
}

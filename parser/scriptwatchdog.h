#ifndef SCRIPTWATCHDOG_H
#define SCRIPTWATCHDOG_H

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class QJSEngine;

// Interrupts a script engine whose evaluation runs longer than a time limit, so that a script
// that never ends cannot stall its caller. The watching thread sleeps while no evaluation
// runs: an idle program pays nothing for it.
class ScriptWatchdog
{
public:
    ScriptWatchdog(QJSEngine *engine, std::chrono::milliseconds limit);
    ~ScriptWatchdog();

    ScriptWatchdog(const ScriptWatchdog &) = delete;
    ScriptWatchdog &operator=(const ScriptWatchdog &) = delete;

    // Around every evaluation on the engine's thread. finish() returns true when the
    // evaluation was interrupted, and makes the engine usable again.
    void start();
    bool finish();

private:
    void watch();

    QJSEngine *engine;
    const std::chrono::milliseconds limit;
    std::mutex lock;
    std::condition_variable wake;
    std::chrono::steady_clock::time_point startedAt;
    bool evaluating = false;
    bool idle = false;
    bool quitting = false;
    std::thread watcher;
};

#endif // SCRIPTWATCHDOG_H

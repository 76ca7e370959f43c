#ifndef SCRIPTWATCHDOG_H
#define SCRIPTWATCHDOG_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "threadclock.h"

class QJSEngine;

// Interrupts a script engine whose evaluation does not end, so that a script that never ends
// cannot stall its caller. An evaluation is interrupted when, after running for the time
// limit, it goes on to use another time limit of processor time: a script that never ends
// stops after about twice the limit, while one that was merely kept waiting by a busy
// machine is left alone. The watching thread sleeps while no evaluation runs, so an idle
// program pays nothing for it.
class ScriptWatchdog
{
public:
    ScriptWatchdog(QJSEngine *engine, std::chrono::milliseconds limit);
    ~ScriptWatchdog();

    ScriptWatchdog(const ScriptWatchdog &) = delete;
    ScriptWatchdog &operator=(const ScriptWatchdog &) = delete;

    // Around every evaluation, on the thread that evaluates. finish() returns true when the
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
    std::uint64_t evaluation = 0;
    bool evaluating = false;
    bool idle = false;
    bool quitting = false;
    ThreadClock evaluatingThreadClock;
    std::thread watcher;
};

#endif // SCRIPTWATCHDOG_H

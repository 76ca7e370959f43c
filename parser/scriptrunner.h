#ifndef SCRIPTRUNNER_H
#define SCRIPTRUNNER_H

#include <QString>

#include <chrono>
#include <memory>

// Runs the value scripts of one parser in one script engine whose globals persist. Each
// script behaves as if its text were evaluated as a program: its completion value is the
// result, "var" and assignments create globals that later scripts see, and "x" is a global
// set to the value before every run. The engine is created by the first run, on the thread
// that runs scripts from then on.
class ScriptRunner
{
public:
    // A script that runs for the time limit and then uses another time limit of processor
    // time is interrupted (see ScriptWatchdog): one that never ends gives NaN after about
    // twice the limit. A script that was interrupted then rests: it gives NaN at once, without
    // running, until restAfterRunaway has passed, and is tried again on the first value after
    // that. So a script that always runs away costs its caller one interruption every few
    // seconds instead of one per value.
    explicit ScriptRunner(std::chrono::milliseconds timeLimit = std::chrono::milliseconds(25),
                          std::chrono::milliseconds restAfterRunaway = std::chrono::seconds(5));
    ~ScriptRunner();

    ScriptRunner(const ScriptRunner &) = delete;
    ScriptRunner &operator=(const ScriptRunner &) = delete;

    // The script's completion value for x, as a number; NaN for a syntax error, anything
    // thrown, a result that does not convert (a Symbol), or a script that was interrupted or
    // is resting.
    double run(const QString &script, double x);

private:
    struct Engine;
    std::chrono::milliseconds timeLimit;
    std::chrono::milliseconds restAfterRunaway;
    std::unique_ptr<Engine> engine;
};

#endif // SCRIPTRUNNER_H

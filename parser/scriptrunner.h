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
    // twice the limit.
    explicit ScriptRunner(std::chrono::milliseconds timeLimit = std::chrono::milliseconds(25));
    ~ScriptRunner();

    ScriptRunner(const ScriptRunner &) = delete;
    ScriptRunner &operator=(const ScriptRunner &) = delete;

    // The script's completion value for x, as a number; NaN for a syntax error, anything
    // thrown, or a script that was interrupted.
    double run(const QString &script, double x);

private:
    struct Engine;
    std::chrono::milliseconds timeLimit;
    std::unique_ptr<Engine> engine;
};

#endif // SCRIPTRUNNER_H

#ifndef SCRIPTRUNNER_H
#define SCRIPTRUNNER_H

#include <QString>

// Runs the value scripts of one parser in one script engine whose globals persist.
class ScriptRunner
{
public:
    ScriptRunner();
    ~ScriptRunner();

    // The script's completion value for x, as a number; NaN for an error or a runaway script.
    double run(const QString &script, double x);
};

#endif // SCRIPTRUNNER_H

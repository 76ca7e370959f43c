#include "scriptrunner.h"

#include <limits>

// Placeholder until the script engine is wired in.
ScriptRunner::ScriptRunner() = default;
ScriptRunner::~ScriptRunner() = default;

double ScriptRunner::run(const QString &, double)
{
    return std::numeric_limits<double>::quiet_NaN();
}

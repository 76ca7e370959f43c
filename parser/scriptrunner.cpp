#include "scriptrunner.h"

#include "scriptfunction.h"
#include "scriptwatchdog.h"

#include <QHash>
#include <QJSEngine>
#include <QJSValue>
#include <QRegularExpression>

#include <limits>

namespace {

// How one script text is run.
struct CompiledScript
{
    enum Kind {
        Function, // the script rewritten as a function, called per value
        Guarded,  // evaluated as a program inside a try statement that turns any throw into failure
        Plain,    // evaluated as it is
    };
    Kind kind = Plain;
    QJSValue function;
    QString program;
};

const QLatin1String failureName("$tolvexFailure");

} // namespace

struct ScriptRunner::Engine
{
    explicit Engine(std::chrono::milliseconds timeLimit)
    {
        // Holding a value of the engine for its whole life keeps evaluate from mapping and
        // unmapping memory on every call.
        global = js.globalObject();
        functionConstructor = global.property(QStringLiteral("Function"));
        js.evaluate(QLatin1String("Object.defineProperty(this, '") + failureName
                    + QLatin1String("', { value: new Error('script failed') })"));
        failure = global.property(failureName);
        // Converting an object runs its valueOf, which may throw: that counts as failure too.
        toNumber = js.evaluate(QLatin1String("(function (value, failure) { try { return +value; }"
                                             " catch (e) { return failure; } })"));
        watchdog.reset(new ScriptWatchdog(&js, timeLimit));
    }

    ~Engine()
    {
        watchdog.reset();
        scripts.clear();
        arguments.clear();
    }

    CompiledScript compile(const QString &script)
    {
        CompiledScript compiled;
        const ScriptFunction rewritten = rewriteAsFunction(script);
        if (rewritten.rewritten) {
            QJSValue factory = js.evaluate(rewritten.factorySource);
            const QJSValue function = factory.isCallable() ? factory.call({failure}) : QJSValue();
            if (function.isCallable()) {
                // The script is valid; its "var" names exist from its first evaluation on.
                bool declared = true;
                if (!rewritten.declaredVariables.isEmpty()) {
                    declared = !js.evaluate(QLatin1String("var ")
                                            + rewritten.declaredVariables.join(QLatin1String(", ")))
                                    .isError();
                }
                if (declared) {
                    compiled.kind = CompiledScript::Function;
                    compiled.function = function;
                    return compiled;
                }
            }
        }

        // A try statement changes nothing for a valid script without block-scoped
        // declarations; it must not be able to close the try block itself, hence the check
        // that the text parses on its own as a function body.
        // A directive must stay first in the program, so "use strict" anywhere rules it out.
        static const QRegularExpression blockScoped(
            QStringLiteral("\\b(function|class|let|const)\\b|\\$tolvex|use strict"));
        const bool parses = !functionConstructor.callAsConstructor({script}).isError();
        if (parses && !blockScoped.match(script).hasMatch()) {
            compiled.kind = CompiledScript::Guarded;
            compiled.program = QLatin1String("try {\n") + script
                + QLatin1String("\n} catch ($tolvexCaught) { ") + failureName + QLatin1String(" }");
        } else {
            compiled.kind = CompiledScript::Plain;
            compiled.program = script;
        }
        return compiled;
    }

    QJSEngine js;
    QJSValue global;
    QJSValue functionConstructor;
    QJSValue failure;
    QJSValue toNumber;
    QJSValueList arguments{QJSValue()};
    QHash<QString, CompiledScript> scripts;
    std::unique_ptr<ScriptWatchdog> watchdog;
};

ScriptRunner::ScriptRunner(std::chrono::milliseconds timeLimit) : timeLimit(timeLimit) {}

ScriptRunner::~ScriptRunner() = default;

double ScriptRunner::run(const QString &script, double x)
{
    if (!engine)
        engine.reset(new Engine(timeLimit));

    auto found = engine->scripts.find(script);
    if (found == engine->scripts.end())
        found = engine->scripts.insert(script, engine->compile(script));
    CompiledScript &compiled = found.value();

    QJSValue result;
    if (compiled.kind == CompiledScript::Function) {
        // One argument list for every call: building a list per call costs more than the call.
        engine->arguments[0] = QJSValue(x);
        engine->watchdog->start();
        result = compiled.function.callWithInstance(engine->global, engine->arguments);
    } else {
        engine->global.setProperty(QStringLiteral("x"), x);
        engine->watchdog->start();
        result = engine->js.evaluate(compiled.program, QString(), 1);
    }
    // The conversion may run script code too (valueOf), so it is watched as well.
    if (result.isObject() && !result.isError())
        result = engine->toNumber.call({result, engine->failure});
    const double value = result.isError() ? std::numeric_limits<double>::quiet_NaN()
                                          : result.toNumber();
    const bool interrupted = engine->watchdog->finish();
    return interrupted ? std::numeric_limits<double>::quiet_NaN() : value;
}

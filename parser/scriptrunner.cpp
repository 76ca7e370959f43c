#include "scriptrunner.h"

#include "scriptfunction.h"
#include "scriptwatchdog.h"

#include <QHash>
#include <QJSEngine>
#include <QJSValue>

#include <limits>

namespace {

// How one script text is run.
struct CompiledScript
{
    enum Kind {
        Function, // the script rewritten as a function, called per value
        Program,  // evaluated as a program, as it is written, with a completion mark after it
        Invalid,  // does not parse: NaN without running
    };
    Kind kind = Program;
    QJSValue function;
    QString program;
    // A script that ran away gives NaN without running until then.
    std::chrono::steady_clock::time_point restsUntil;
};

const QLatin1String failureName("$tolvexFailure");
// Set to false before a program runs; only a program that ran to its end sets it to true.
const QLatin1String completedName("$tolvexCompleted");

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

        // Evaluated as written, a thrown value is what evaluate returns, indistinguishable
        // from a result. A variable statement after the script leaves its completion value
        // alone (its own completion is empty) and runs only when nothing was thrown; on a
        // line of its own, so that a trailing comment cannot swallow it. A script that ends
        // where a statement is still due ("if (x)", a label) could take the mark as that
        // statement and become valid: such a script does not parse on its own, which the
        // function constructor tells without running it (a function body accepts every
        // program).
        if (functionConstructor.callAsConstructor({script}).isError()) {
            compiled.kind = CompiledScript::Invalid;
            return compiled;
        }
        compiled.kind = CompiledScript::Program;
        compiled.program = script + QLatin1String("\n;var ") + completedName
            + QLatin1String(" = true");
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

ScriptRunner::ScriptRunner(std::chrono::milliseconds timeLimit, std::chrono::milliseconds restAfterRunaway)
    : timeLimit(timeLimit), restAfterRunaway(restAfterRunaway)
{
}

ScriptRunner::~ScriptRunner() = default;

double ScriptRunner::run(const QString &script, double x)
{
    constexpr double failed = std::numeric_limits<double>::quiet_NaN();
    if (!engine)
        engine.reset(new Engine(timeLimit));

    auto found = engine->scripts.find(script);
    if (found == engine->scripts.end())
        found = engine->scripts.insert(script, engine->compile(script));
    CompiledScript &compiled = found.value();
    if (compiled.restsUntil != std::chrono::steady_clock::time_point()) {
        if (std::chrono::steady_clock::now() < compiled.restsUntil)
            return failed;
        compiled.restsUntil = std::chrono::steady_clock::time_point();
    }

    if (compiled.kind == CompiledScript::Invalid)
        return failed;

    QJSValue result;
    bool completed = true;
    if (compiled.kind == CompiledScript::Function) {
        // One argument list for every call: building a list per call costs more than the call.
        engine->arguments[0] = QJSValue(x);
        engine->watchdog->start();
        result = compiled.function.callWithInstance(engine->global, engine->arguments);
    } else {
        engine->global.setProperty(QStringLiteral("x"), x);
        engine->global.setProperty(completedName, false);
        engine->watchdog->start();
        result = engine->js.evaluate(compiled.program, QString(), 1);
        completed = engine->global.property(completedName).toBool();
        // Anything but a number goes through the script language's own conversion, which
        // may run script code (valueOf) and may throw (a Symbol): watched, and a throw fails.
        if (completed && !result.isNumber() && !result.isError())
            result = engine->toNumber.call({result, engine->failure});
    }
    const double value = !completed || result.isError() ? failed : result.toNumber();
    if (engine->watchdog->finish()) {
        compiled.restsUntil = std::chrono::steady_clock::now() + restAfterRunaway;
        return failed;
    }
    return value;
}

#include "scriptfunction.h"
#include "scriptrunner.h"
#include "scriptwatchdog.h"

#include <QElapsedTimer>
#include <QJSEngine>
#include <QtTest>

#include <cmath>
#include <thread>

namespace {

// What evaluating the script as a program gives, the way the parser defines a script's value.
double evaluatedAsProgram(QJSEngine &engine, const QString &script, double x)
{
    engine.globalObject().setProperty(QStringLiteral("x"), x);
    const QJSValue result = engine.evaluate(script, QString(), 1);
    return result.isError() ? std::nan("") : result.toNumber();
}

bool sameNumber(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

} // namespace

class ScriptRunnerTest : public QObject
{
    Q_OBJECT

private slots:
    void behavesLikeTheProgram_data();
    void behavesLikeTheProgram();
    void commonFormsAreCompiled_data();
    void commonFormsAreCompiled();
    void anythingThrownGivesNan_data();
    void anythingThrownGivesNan();
    void globalsPersistAcrossScripts();
    void runawayScriptIsInterrupted();
    void runawayScriptRestsBeforeItIsTriedAgain();
    void waitingIsNotRunning();
};

void ScriptRunnerTest::behavesLikeTheProgram_data()
{
    QTest::addColumn<QStringList>("scripts");

    // Each row runs its scripts in turn, several times, with changing x.
    QTest::newRow("scale") << QStringList{QStringLiteral("x * 0.1")};
    QTest::newRow("units") << QStringList{QStringLiteral("(x - 32) / 1.8")};
    QTest::newRow("running sum") << QStringList{QStringLiteral(
        "var energySum = (typeof energySum == 'undefined' ? 0 : energySum) + x; energySum")};
    QTest::newRow("clamp with if") << QStringList{QStringLiteral("if (x > 3) { 100 } else { x }")};
    QTest::newRow("counter") << QStringList{QStringLiteral("n = (typeof n == 'undefined' ? 0 : n) + 1; n")};
    QTest::newRow("if without else") << QStringList{QStringLiteral("5; if (x > 2) { x * 3 }")};
    QTest::newRow("empty branch is undefined") << QStringList{QStringLiteral("5; if (x > 2) { } else { var q = 1 }")};
    QTest::newRow("else if chain") << QStringList{QStringLiteral(
        "if (x < 1) { 'low' } else if (x < 3) { 2 * x } else { var big = x; big + 0.5 }")};
    QTest::newRow("var only") << QStringList{QStringLiteral("var v = x")};
    QTest::newRow("var keeps the last value") << QStringList{QStringLiteral("7; var w = x * 2;")};
    QTest::newRow("var list") << QStringList{QStringLiteral("var a1 = x, b1, c1 = a1 + 1; c1 + (typeof b1 == 'undefined' ? 10 : 20)")};
    QTest::newRow("hoisting") << QStringList{QStringLiteral("var before = typeof late; var late = 1; before == 'undefined' ? 1 : 0")};
    QTest::newRow("empty statements") << QStringList{QStringLiteral(";; x ;;")};
    QTest::newRow("comma expression") << QStringList{QStringLiteral("x + 1, x + 2")};
    QTest::newRow("object literal in expression") << QStringList{QStringLiteral("({ a: x, b: { c: 2 } }).a + 1")};
    QTest::newRow("string results") << QStringList{QStringLiteral("'12'"), QStringLiteral("\"abc\""), QStringLiteral("x + ''")};
    QTest::newRow("booleans") << QStringList{QStringLiteral("x > 2"), QStringLiteral("true"), QStringLiteral("null")};
    QTest::newRow("undefined result") << QStringList{QStringLiteral("undefined"), QStringLiteral("void x")};
    QTest::newRow("Math") << QStringList{QStringLiteral("Math.round(x * 100) / 100"), QStringLiteral("Math.abs(-x)")};
    QTest::newRow("assigning x") << QStringList{QStringLiteral("x = x * 10; x"), QStringLiteral("x")};
    QTest::newRow("this is the global object") << QStringList{QStringLiteral("this.x * 2"), QStringLiteral("this === globalThis ? 1 : 0")};
    QTest::newRow("function values are named") << QStringList{QStringLiteral("var fn = function () {}; fn.name == 'fn' ? 1 : 0")};
    QTest::newRow("closures over globals") << QStringList{
        QStringLiteral("var get = () => x; 1"), QStringLiteral("get()")};
    QTest::newRow("syntax error") << QStringList{QStringLiteral("x +* 2")};
    QTest::newRow("unbalanced") << QStringList{QStringLiteral("x) + (x")};
    QTest::newRow("label") << QStringList{QStringLiteral("a: x")};
    QTest::newRow("error object result") << QStringList{QStringLiteral("new Error('e')")};
    QTest::newRow("reference error") << QStringList{QStringLiteral("notDefinedAnywhere + 1")};
    QTest::newRow("comment") << QStringList{QStringLiteral("x * 2 // doubled")};
    QTest::newRow("multi-line program") << QStringList{QStringLiteral("var s = 0\nfor (var i = 0; i < x; i++) { s += i }\ns")};
    QTest::newRow("regular expression") << QStringList{QStringLiteral("/a(b)/.test('ab') ? x : -x")};
    QTest::newRow("function declaration") << QStringList{QStringLiteral("function twice(v) { return 2 * v }; twice(x)"),
                                                         QStringLiteral("twice(1)")};
    QTest::newRow("let") << QStringList{QStringLiteral("let k = x; k")};
    QTest::newRow("arguments is a global name") << QStringList{QStringLiteral("typeof arguments == 'undefined' ? 1 : 0")};
    QTest::newRow("use strict directive") << QStringList{QStringLiteral("'use strict'; undeclaredStrict = 1")};
    QTest::newRow("top-level return") << QStringList{QStringLiteral("return x")};
    QTest::newRow("brace escape") << QStringList{QStringLiteral("1 } catch (e) { 2 } try { 3")};
}

void ScriptRunnerTest::behavesLikeTheProgram()
{
    QFETCH(QStringList, scripts);

    ScriptRunner runner;
    QJSEngine reference;
    for (int round = 0; round < 4; ++round) {
        for (const QString &script : qAsConst(scripts)) {
            const double x = round * 1.5;
            const double expected = evaluatedAsProgram(reference, script, x);
            const double actual = runner.run(script, x);
            QVERIFY2(sameNumber(actual, expected),
                     qPrintable(QStringLiteral("%1 with x = %2: %3, expected %4")
                                    .arg(script).arg(x).arg(actual).arg(expected)));
        }
    }
}

void ScriptRunnerTest::commonFormsAreCompiled_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("compiled");

    QTest::newRow("expression") << "x * 0.1" << true;
    QTest::newRow("running sum")
        << "var energySum = (typeof energySum == 'undefined' ? 0 : energySum) + x; energySum" << true;
    QTest::newRow("if else") << "if (x > 100) { 100 } else { x }" << true;
    QTest::newRow("division after parenthesis") << "(x - 32) / 1.8" << true;
    QTest::newRow("comment") << "x // c" << false;
    QTest::newRow("block comment") << "x /* c */" << false;
    QTest::newRow("regular expression") << "/x/.test(x)" << false;
    QTest::newRow("template") << "`${x}`" << false;
    QTest::newRow("new line") << "x\n+ 1" << false;
    QTest::newRow("arguments") << "arguments.length" << false;
    QTest::newRow("eval") << "eval('x')" << false;
    QTest::newRow("new.target") << "new.target" << false;
    QTest::newRow("leading string") << "'use strict'; x" << false;
    QTest::newRow("generated names") << "$tolvexResult" << false;
    QTest::newRow("block statement") << "{ x }" << false;
    QTest::newRow("loop") << "while (false) {}" << false;
    QTest::newRow("throw statement") << "throw 1" << false;
    QTest::newRow("let") << "let a = 1" << false;
    QTest::newRow("if without braces") << "if (x) 1" << false;
    QTest::newRow("html comment") << "x <!-- y" << false;
    QTest::newRow("stray closing brace") << "x }" << false;
    QTest::newRow("nested if") << QString("if (x) { ").repeated(20) + "1" + QString(" }").repeated(20) << true;
    QTest::newRow("deeply nested if") << QString("if (x) { ").repeated(100000) + "1" + QString(" }").repeated(100000) << false;
}

void ScriptRunnerTest::commonFormsAreCompiled()
{
    QFETCH(QString, script);
    QFETCH(bool, compiled);
    QCOMPARE(rewriteAsFunction(script).rewritten, compiled);
}

void ScriptRunnerTest::anythingThrownGivesNan_data()
{
    QTest::addColumn<QString>("script");

    QTest::newRow("number") << "throw 1";
    QTest::newRow("text") << "throw 'broken'";
    QTest::newRow("null") << "throw null";
    QTest::newRow("error") << "throw new Error('e')";
    QTest::newRow("from a called function") << "(function () { throw 5 })()";
    QTest::newRow("in a branch") << "if (x > 0) { (function () { throw 5 })() } else { 1 }";
    QTest::newRow("from valueOf") << "({ valueOf: function () { throw 3 } })";
    QTest::newRow("in a loop") << "for (var i = 0; i < 2; i++) { if (i == 1) throw 2 }";
    QTest::newRow("multi-line") << "var t = 1\nthrow t";
    QTest::newRow("object with valueOf") << "throw {valueOf: function () { return 5; }}";
    QTest::newRow("from a declared function") << "function f(){ throw 1 }; f()";
    QTest::newRow("after let") << "let thrown = 4; throw thrown";
    QTest::newRow("strict") << "'use strict'; throw 6";
    QTest::newRow("ending in a comment") << "throw 7 // seven";
    QTest::newRow("symbol result") << "Symbol('s')";
    QTest::newRow("symbol result as written") << "let sym = Symbol('s'); sym";
    QTest::newRow("symbol from valueOf") << "({ valueOf: function () { return Symbol() } })";
    QTest::newRow("dangling label") << "5; done:";
    QTest::newRow("dangling if") << "5; if (x)";
}

void ScriptRunnerTest::anythingThrownGivesNan()
{
    QFETCH(QString, script);
    ScriptRunner runner;
    QVERIFY(std::isnan(runner.run(script, 1)));
    // The engine goes on working.
    QCOMPARE(runner.run(QStringLiteral("x + 1"), 1), 2.0);
}

void ScriptRunnerTest::globalsPersistAcrossScripts()
{
    ScriptRunner runner;
    QVERIFY(std::isnan(runner.run(QStringLiteral("var shared = x"), 4)));
    QCOMPARE(runner.run(QStringLiteral("shared * 10"), 0), 40.0);
    QCOMPARE(runner.run(QStringLiteral("total = (typeof total == 'undefined' ? 0 : total) + x; total"), 2), 2.0);
    QCOMPARE(runner.run(QStringLiteral("var multiLine = total\n+ 1; multiLine"), 0), 3.0);
    QCOMPARE(runner.run(QStringLiteral("total = (typeof total == 'undefined' ? 0 : total) + x; total"), 5), 7.0);
}

void ScriptRunnerTest::runawayScriptIsInterrupted()
{
    ScriptRunner runner(std::chrono::milliseconds(30));
    QCOMPARE(runner.run(QStringLiteral("var kept = x; kept"), 9), 9.0);

    const QStringList runaways = {
        QStringLiteral("while (true) {}"),
        QStringLiteral("while (true) { try { while (true) {} } catch (e) {} }"),
        QStringLiteral("(function () { for (;;) {} })()"),
        QStringLiteral("({ valueOf: function () { for (;;) {} } })"),
    };
    for (const QString &script : runaways) {
        QElapsedTimer timer;
        timer.start();
        QVERIFY2(std::isnan(runner.run(script, 1)), qPrintable(script));
        QVERIFY2(timer.elapsed() < 5000, qPrintable(script));
        // Usable again at once, with its globals.
        QCOMPARE(runner.run(QStringLiteral("kept + x"), 1), 10.0);
    }
}

void ScriptRunnerTest::runawayScriptRestsBeforeItIsTriedAgain()
{
    ScriptRunner runner(std::chrono::milliseconds(20), std::chrono::milliseconds(400));
    // Runs away on its first run only; the count tells how often it ran.
    const QString script = QStringLiteral(
        "runs = (typeof runs == 'undefined' ? 0 : runs) + 1; while (runs == 1) {}; runs");
    QVERIFY(std::isnan(runner.run(script, 0)));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(std::isnan(runner.run(script, 0)));
    QCOMPARE(runner.run(QStringLiteral("runs"), 0), 1.0); // resting: it did not run
    while (timer.elapsed() < 450)
        QTest::qWait(10);
    QCOMPARE(runner.run(script, 0), 2.0);
    QCOMPARE(runner.run(script, 0), 3.0);
}

void ScriptRunnerTest::waitingIsNotRunning()
{
#ifndef Q_OS_LINUX
    QSKIP("Processor time of a thread is read on Linux only");
#endif
    // An evaluation whose thread does not get the processor (here: sleeps) for far longer
    // than the limit is left alone; one that keeps the processor busy is stopped.
    QJSEngine engine;
    ScriptWatchdog watchdog(&engine, std::chrono::milliseconds(20));
    watchdog.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QVERIFY(!watchdog.finish());

    watchdog.start();
    QElapsedTimer timer;
    timer.start();
    while (!engine.isInterrupted() && timer.elapsed() < 5000) {
    }
    QVERIFY(engine.isInterrupted());
    QVERIFY(watchdog.finish());
    QVERIFY(!engine.isInterrupted());
}

QTEST_GUILESS_MAIN(ScriptRunnerTest)
#include "tst_scriptrunner.moc"

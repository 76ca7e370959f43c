#ifndef SCRIPTFUNCTION_H
#define SCRIPTFUNCTION_H

#include <QString>
#include <QStringList>

// A value script rewritten as a function that behaves exactly like evaluating the script as a
// program in the global scope: same completion value, same global variables, same order of
// effects. Compiling the function once and calling it per value avoids parsing the script
// for every value.
//
// Only a plain, single-line subset is rewritten: expression statements, "var" declarations
// and "if"/"else" with braces, separated by semicolons. Anything else (comments, regular
// expression literals, template strings, loops, other statement forms, and names whose
// meaning differs inside a function such as "arguments" or "eval") is left to the caller,
// which evaluates the script as a program instead. Whatever is rewritten is valid as a
// function only if the script is valid as a program.
struct ScriptFunction
{
    bool rewritten = false;
    // A function expression taking one argument, the value to return when the script throws
    // (anything, not only an Error); calling it yields the script function itself. That one
    // is called with the global object as "this" and the value as its argument; it sets the
    // global "x" and returns the completion value converted to a number (a conversion that
    // throws is a failure too).
    QString factorySource;
    // The global variables the script declares with "var"; the caller declares them once
    // before the first call, as evaluating the program would.
    QStringList declaredVariables;
};

ScriptFunction rewriteAsFunction(const QString &script);

#endif // SCRIPTFUNCTION_H

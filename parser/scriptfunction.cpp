#include "scriptfunction.h"

#include <QSet>
#include <QVector>

#include <cstring>

namespace {

// Names used by the generated code; a script that mentions any name with this prefix is not
// rewritten, so the generated names can never meet the script's own.
const QLatin1String reservedPrefix("$tolvex");
const QLatin1String resultName("$tolvexResult");
const QLatin1String failureName("$tolvexFailure");
const QLatin1String caughtName("$tolvexCaught");
const QLatin1String valueName("$tolvexX");

enum class Kind { Identifier, Number, String, Punctuator };

struct Token
{
    Kind kind;
    int start;
    int end;
    QChar punctuator;
};

const QSet<QString> &reservedWords()
{
    static const QSet<QString> words = {
        QStringLiteral("break"),      QStringLiteral("case"),      QStringLiteral("catch"),
        QStringLiteral("class"),      QStringLiteral("const"),     QStringLiteral("continue"),
        QStringLiteral("debugger"),   QStringLiteral("default"),   QStringLiteral("delete"),
        QStringLiteral("do"),         QStringLiteral("else"),      QStringLiteral("enum"),
        QStringLiteral("export"),     QStringLiteral("extends"),   QStringLiteral("finally"),
        QStringLiteral("for"),        QStringLiteral("function"),  QStringLiteral("if"),
        QStringLiteral("import"),     QStringLiteral("in"),        QStringLiteral("instanceof"),
        QStringLiteral("new"),        QStringLiteral("return"),    QStringLiteral("super"),
        QStringLiteral("switch"),     QStringLiteral("throw"),     QStringLiteral("try"),
        QStringLiteral("typeof"),     QStringLiteral("var"),       QStringLiteral("void"),
        QStringLiteral("while"),      QStringLiteral("with"),      QStringLiteral("yield"),
        QStringLiteral("let"),        QStringLiteral("static"),    QStringLiteral("await"),
        QStringLiteral("async"),      QStringLiteral("implements"), QStringLiteral("interface"),
        QStringLiteral("package"),    QStringLiteral("private"),   QStringLiteral("protected"),
        QStringLiteral("public"),     QStringLiteral("this"),      QStringLiteral("null"),
        QStringLiteral("true"),       QStringLiteral("false"),
    };
    return words;
}

// Names that mean something else inside a function than in a program.
const QSet<QString> &functionSensitiveNames()
{
    static const QSet<QString> names = {
        QStringLiteral("arguments"), QStringLiteral("eval"), QStringLiteral("super"),
        QStringLiteral("import"),
    };
    return names;
}

bool isIdentifierStart(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('_')
        || c == QLatin1Char('$');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isIdentifierPart(QChar c)
{
    return isIdentifierStart(c) || isDigit(c);
}

bool isLineTerminator(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c.unicode() == 0x2028
        || c.unicode() == 0x2029;
}

class Tokenizer
{
public:
    explicit Tokenizer(const QString &source) : s(source) {}

    // False for anything outside the subset whose tokens can be told apart without parsing.
    bool run(QVector<Token> &tokens)
    {
        int i = 0;
        const int n = s.size();
        while (i < n) {
            const QChar c = s.at(i);
            if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v')
                || c == QLatin1Char('\f')) {
                ++i;
            } else if (c.unicode() >= 0x80 || c.unicode() < 0x20 || c.unicode() == 0x7f) {
                return false;
            } else if (isIdentifierStart(c)) {
                const int start = i;
                while (i < n && isIdentifierPart(s.at(i)))
                    ++i;
                tokens.append({Kind::Identifier, start, i, QChar()});
            } else if (isDigit(c) || (c == QLatin1Char('.') && i + 1 < n && isDigit(s.at(i + 1)))) {
                // Only the extent matters: letters, digits and dots never end a number early.
                const int start = i;
                while (i < n && (isIdentifierPart(s.at(i)) || s.at(i) == QLatin1Char('.')))
                    ++i;
                tokens.append({Kind::Number, start, i, QChar()});
            } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                const int start = i++;
                for (;;) {
                    if (i >= n || isLineTerminator(s.at(i)))
                        return false;
                    if (s.at(i) == QLatin1Char('\\')) {
                        if (i + 1 >= n || isLineTerminator(s.at(i + 1)))
                            return false;
                        i += 2;
                        continue;
                    }
                    if (s.at(i++) == c)
                        break;
                }
                tokens.append({Kind::String, start, i, QChar()});
            } else if (c == QLatin1Char('`') || c == QLatin1Char('#') || c == QLatin1Char('@')
                       || c == QLatin1Char('\\')) {
                return false;
            } else if (c == QLatin1Char('/')) {
                // Comments and regular expression literals are not rewritten; a slash is a
                // division only after something that ends an operand.
                if (i + 1 < n && (s.at(i + 1) == QLatin1Char('/') || s.at(i + 1) == QLatin1Char('*')))
                    return false;
                if (!endsOperand(tokens))
                    return false;
                tokens.append({Kind::Punctuator, i, i + 1, c});
                ++i;
            } else if (s.midRef(i, 4) == QLatin1String("<!--") || s.midRef(i, 3) == QLatin1String("-->")) {
                // Comment markers kept from HTML.
                return false;
            } else {
                tokens.append({Kind::Punctuator, i, i + 1, c});
                ++i;
            }
        }
        return true;
    }

private:
    bool endsOperand(const QVector<Token> &tokens) const
    {
        if (tokens.isEmpty())
            return false;
        const Token &last = tokens.last();
        switch (last.kind) {
        case Kind::Number:
        case Kind::String:
            return true;
        case Kind::Identifier: {
            const QString word = s.mid(last.start, last.end - last.start);
            return !reservedWords().contains(word) || word == QLatin1String("this")
                || word == QLatin1String("null") || word == QLatin1String("true")
                || word == QLatin1String("false");
        }
        case Kind::Punctuator:
            return last.punctuator == QLatin1Char(')') || last.punctuator == QLatin1Char(']');
        }
        return false;
    }

    const QString &s;
};

class Rewriter
{
public:
    Rewriter(const QString &source, const QVector<Token> &tokens) : s(source), t(tokens) {}

    bool run(QString &body, QStringList &variables)
    {
        if (!t.isEmpty() && t.first().kind == Kind::String)
            return false; // a leading string may be a directive such as "use strict"
        for (int k = 0; k < t.size(); ++k) {
            if (t[k].kind != Kind::Identifier)
                continue;
            const QString word = text(k);
            if (word.startsWith(reservedPrefix) || functionSensitiveNames().contains(word))
                return false;
            if (word == QLatin1String("new") && k + 1 < t.size() && isPunctuator(k + 1, '.'))
                return false; // new.target
        }
        if (!statementList(false))
            return false;
        body = out;
        variables = vars;
        return i == t.size();
    }

private:
    QString text(int k) const { return s.mid(t[k].start, t[k].end - t[k].start); }

    bool isPunctuator(int k, char c) const
    {
        return k < t.size() && t[k].kind == Kind::Punctuator && t[k].punctuator == QLatin1Char(c);
    }

    bool isWord(int k, const char *word) const
    {
        return k < t.size() && t[k].kind == Kind::Identifier && text(k) == QLatin1String(word);
    }

    // The source text of tokens [from, to).
    QString span(int from, int to) const
    {
        return s.mid(t[from].start, t[to - 1].end - t[from].start);
    }

    // Scans a balanced run of tokens from i up to (not including) a bracket that closes
    // nothing in the run, or one of the stop characters at the run's own level.
    int pieceEnd(const char *stops) const
    {
        int depth = 0;
        int k = i;
        for (; k < t.size(); ++k) {
            if (t[k].kind != Kind::Punctuator)
                continue;
            const char c = char(t[k].punctuator.unicode());
            if (c == '(' || c == '[' || c == '{') {
                ++depth;
            } else if (c == ')' || c == ']' || c == '}') {
                if (depth == 0)
                    break;
                --depth;
            } else if (depth == 0 && std::strchr(stops, c)) {
                break;
            }
        }
        return k;
    }

    // Statements up to the end of the script or, in a block, up to its closing brace.
    bool statementList(bool inBlock)
    {
        while (i < t.size()) {
            if (isPunctuator(i, '}'))
                return inBlock;
            if (!statement(inBlock))
                return false;
        }
        return !inBlock;
    }

    // After a statement: a semicolon, or nothing before a closing brace or the end.
    bool statementEnd(bool inBlock)
    {
        if (isPunctuator(i, ';')) {
            ++i;
            return true;
        }
        return i == t.size() || (inBlock && isPunctuator(i, '}'));
    }

    bool statement(bool inBlock)
    {
        if (isPunctuator(i, ';')) {
            ++i;
            return true;
        }
        if (isPunctuator(i, '{'))
            return false;
        if (isWord(i, "var"))
            return variableStatement(inBlock);
        if (isWord(i, "if"))
            return ifStatement();
        if (t[i].kind == Kind::Identifier) {
            const QString word = text(i);
            if (reservedWords().contains(word) && word != QLatin1String("this")
                && word != QLatin1String("null") && word != QLatin1String("true")
                && word != QLatin1String("false") && word != QLatin1String("typeof")
                && word != QLatin1String("void") && word != QLatin1String("delete")
                && word != QLatin1String("new"))
                return false;
        }
        const int end = pieceEnd(";");
        if (end == i || (end < t.size() && !isPunctuator(end, ';') && !isPunctuator(end, '}')))
            return false;
        out += resultName + QLatin1String(" = (") + span(i, end) + QLatin1String(");");
        i = end;
        return statementEnd(inBlock);
    }

    bool variableStatement(bool inBlock)
    {
        ++i; // var
        for (;;) {
            if (i >= t.size() || t[i].kind != Kind::Identifier)
                return false;
            const QString name = text(i);
            if (reservedWords().contains(name))
                return false;
            vars.append(name);
            ++i;
            if (isPunctuator(i, '=')) {
                ++i;
                const int end = pieceEnd(";,");
                if (end == i || (end < t.size() && !isPunctuator(end, ';') && !isPunctuator(end, ',')
                                 && !isPunctuator(end, '}')))
                    return false;
                // Without parentheses, so that a function gets the variable's name as it would.
                out += name + QLatin1String(" = ") + span(i, end) + QLatin1String(";");
                i = end;
            }
            if (!isPunctuator(i, ','))
                break;
            ++i;
        }
        return statementEnd(inBlock);
    }

    // An if statement's value is that of the branch taken, or undefined when the branch
    // yields none (or there is no branch).
    bool ifStatement()
    {
        ++i; // if
        if (!isPunctuator(i, '('))
            return false;
        ++i;
        const int end = pieceEnd("");
        if (end == i || !isPunctuator(end, ')'))
            return false;
        out += QLatin1String("if (") + span(i, end) + QLatin1String(") {");
        i = end + 1;
        if (!block())
            return false;
        out += QLatin1String("} else {");
        if (isWord(i, "else")) {
            ++i;
            if (isWord(i, "if")) {
                out += resultName + QLatin1String(" = void 0;");
                if (!ifStatement())
                    return false;
            } else if (!block()) {
                return false;
            }
        } else {
            out += resultName + QLatin1String(" = void 0;");
        }
        out += QLatin1String("}");
        return true;
    }

    bool block()
    {
        // Deeper nesting is left to the engine rather than to this recursion.
        if (!isPunctuator(i, '{') || depth >= maximumDepth)
            return false;
        ++i;
        ++depth;
        out += resultName + QLatin1String(" = void 0;");
        if (!statementList(true))
            return false;
        --depth;
        ++i; // }
        return true;
    }

    const QString &s;
    const QVector<Token> &t;
    static constexpr int maximumDepth = 32;
    int depth = 0;
    int i = 0;
    QString out;
    QStringList vars;
};

} // namespace

ScriptFunction rewriteAsFunction(const QString &script)
{
    ScriptFunction function;
    QVector<Token> tokens;
    if (!Tokenizer(script).run(tokens))
        return function;
    QString body;
    QStringList variables;
    if (!Rewriter(script, tokens).run(body, variables))
        return function;

    // The value arrives as an argument and becomes the global "x" from inside the engine,
    // which costs less than setting the property from outside.
    function.rewritten = true;
    function.factorySource = QLatin1String("(function (") + failureName
        + QLatin1String(") { return function (") + valueName + QLatin1String(") { try { this.x = ")
        + valueName + QLatin1String("; } catch (") + caughtName + QLatin1String(") {} var ")
        + resultName + QLatin1String("; try { ") + body + QLatin1String(" return +") + resultName
        + QLatin1String("; } catch (") + caughtName + QLatin1String(") { return ") + failureName
        + QLatin1String("; } }; })");
    variables.removeDuplicates();
    function.declaredVariables = variables;
    return function;
}

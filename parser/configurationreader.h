#ifndef CONFIGURATIONREADER_H
#define CONFIGURATIONREADER_H

#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QList>
#include <QString>

// Something that went wrong in a configuration file, or a key that took its default.
struct ConfigurationProblem
{
    enum class Kind {
        FileMissing,  // the file cannot be opened
        JsonSyntax,   // the text is not JSON; line and column say where
        NotAnObject,  // JSON, but its top level is not an object
        DefaultUsed,  // a key is missing or of another type and took its default
        Layout,       // the descriptions read, but reports will not be what they seem to say
    };

    Kind kind = Kind::DefaultUsed;
    // Where in the document, as a key path ("commands[2].in[0].type"); empty for the file.
    QString where;
    QString message;
    // For JsonSyntax: 1-based line and column (in characters) of the error.
    int line = 0;
    int column = 0;
    QJsonParseError::ParseError jsonError = QJsonParseError::NoError;

    // "where: message", or "line L, column C: message" for a syntax error.
    QString text() const;
};

// What the classes that read a part of the configuration (the settings, a description, any
// further section) share: each looks up its own keys once and tells the reader what it took,
// and the reader notes every key that took its default and every problem met on the way.
// A reader without a list notes nothing (a description read outside a whole file).
class ConfigurationReader
{
public:
    using Kind = ConfigurationProblem::Kind;
    // Whether an absent key is itself worth a note (a value nobody would leave out).
    enum Presence { Optional, Required };

    explicit ConfigurationReader(QList<ConfigurationProblem> *problems = nullptr) : problems(problems) {}

    // True when the value, looked up as key in the object at where, is of the type. Otherwise
    // notes "missing, <taken>" or "<found> instead of <expected>, <taken>" ("taken" says what
    // was read instead) — an absent optional key silently — and returns false.
    bool expect(const QJsonValue &value, QJsonValue::Type type, const QString &where, const QString &key,
                const QString &taken, Presence presence);
    void note(Kind kind, const QString &where, const QString &message);

    // The key path of a key inside the object at where ("settings" + "language").
    static QString keyPath(const QString &where, const QString &key);
    // "a string", "an object", "null"…; "missing" for an absent value.
    static QString jsonTypeName(const QJsonValue &value);
    static QString quoted(const QString &text);
    // Why a number did not read as an int: "is not a whole number" or "is outside the range of int".
    static QString numberFault(double value);

private:
    QList<ConfigurationProblem> *problems;
};

#endif // CONFIGURATIONREADER_H

#ifndef CONFIGURATION_H
#define CONFIGURATION_H

#include "commanddescription.h"

#include <QByteArray>
#include <QJsonParseError>
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

// A configuration file read once: the display limits, the telemetry description (id 0) and
// the commands (every other entry, in file order), together with everything that went wrong
// on the way. Reading never fails as a whole: what cannot be read takes its default.
class Configuration
{
public:
    // Reads the file. A file that cannot be opened keeps the built-in limits (1000 and 1000)
    // and gives no descriptions; an unreadable document gives limits 0 and no descriptions.
    static Configuration load(const QString &path);
    // Reads a document already in memory (path is only used in messages).
    static Configuration fromJson(const QByteArray &text, const QString &path = QString());

    // The most points a plot keeps. Each point of each value costs the window about 40 bytes
    // (the parser's sliding window reserves two doubles, the plot holds a key and a value, and
    // the sample numbers are shared): a million points is 40 MB a value, already a gigabyte
    // for 25 values, and more points than a screen has pixels by a factor of several hundred.
    static constexpr int maxPlotXPointsCap = 1000000;

    QString path;
    bool opened = false;
    int maxPlotXPoints = 1000;
    int maxConsoleLines = 1000;
    // settings.sessionLog: write the session file with time (default on).
    bool sessionLog = true;
    // settings.plotTimeAxis: seconds since the first report on the plots' key axis.
    bool plotTimeAxis = false;
    // settings.language: the window's language, "ru" (default) or "en".
    QString language = QStringLiteral("ru");
    // The languages the window speaks.
    static bool isKnownLanguage(const QString &language);
    // The file's text as read (a recording keeps it in its header).
    QByteArray text;
    CommandDescription telemetry;
    QList<CommandDescription> commands;
    QList<ConfigurationProblem> problems;

    bool isClean() const { return problems.isEmpty(); }
    // The JSON syntax error, if the text did not parse (null otherwise).
    const ConfigurationProblem *syntaxError() const;

    // The command with this name; failing that, the one whose id is the given number. Null
    // when there is none.
    const CommandDescription *findCommand(const QString &nameOrId) const;
    // Every description by id, as the decoder looks them up (telemetry included when
    // there is one; a later entry with the same id replaces an earlier one).
    QList<CommandDescription> descriptions() const;

    // The 1-based line and column of a byte offset into UTF-8 text (columns count characters).
    static void lineAndColumn(const QByteArray &text, int offset, int *line, int *column);
};

#endif // CONFIGURATION_H

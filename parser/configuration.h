#ifndef CONFIGURATION_H
#define CONFIGURATION_H

#include "commanddescription.h"
#include "configurationreader.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// A configuration file read once: the display limits, the telemetry description (id 0) and
// the commands (every other entry, in file order), together with everything that went wrong
// on the way. Reading never fails as a whole: what cannot be read takes its default. Each key
// is looked up once, by the part that reads it (the settings here, each entry by its
// description), which notes there whatever took a default: the problems are what reading met.
// The window, the demo and tolvexctl share the object (const references, or a copy whose lists
// are implicitly shared) rather than copying settings out of it.
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

    // A top-level section that a part of the program reads for itself from its object (an
    // empty object when the file has none). Such a part also belongs in fromJson, where it
    // reads its object with the same reader, so that check-config names its problems too.
    QJsonObject section(const QString &name) const { return root.value(name).toObject(); }
    // The whole document as read, for a part that must tell an absent section from one that
    // is not an object (the "mqtt" settings).
    const QJsonObject &document() const { return root; }

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

private:
    void readSettings(ConfigurationReader &reader);
    void readCommands(ConfigurationReader &reader);

    // The document's top level (empty when the text is not an object).
    QJsonObject root;
};

#endif // CONFIGURATION_H

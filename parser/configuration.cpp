#include "configuration.h"

#include "reportlayout.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

using Kind = ConfigurationProblem::Kind;

// A display limit of the settings: an int, 0 when it is missing, of another type, fractional
// or beyond the int range.
int readLimit(const QJsonObject &settings, const QString &key, const QString &negativeText,
              ConfigurationReader &reader)
{
    const QString where = QStringLiteral("settings");
    const QJsonValue value = settings.value(key);
    const int limit = value.toInt(0);
    if (!value.isDouble()) {
        reader.expect(value, QJsonValue::Double, where, key, QStringLiteral("read as 0"), ConfigurationReader::Required);
    } else if (value.toDouble() != std::trunc(value.toDouble()) || std::abs(value.toDouble()) > 2147483647.0) {
        reader.note(Kind::DefaultUsed, ConfigurationReader::keyPath(where, key),
                    QStringLiteral("%1 %2, read as 0")
                        .arg(value.toDouble())
                        .arg(ConfigurationReader::numberFault(value.toDouble())));
    } else if (limit < 0) {
        reader.note(Kind::DefaultUsed, ConfigurationReader::keyPath(where, key), negativeText);
    }
    return limit;
}

} // namespace

Configuration Configuration::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Configuration configuration;
        configuration.path = path;
        ConfigurationProblem problem;
        problem.kind = Kind::FileMissing;
        problem.message = QStringLiteral("cannot open the file: %1").arg(file.errorString());
        configuration.problems.append(problem);
        return configuration;
    }
    return fromJson(file.readAll(), path);
}

Configuration Configuration::fromJson(const QByteArray &text, const QString &path)
{
    Configuration configuration;
    configuration.path = path;
    configuration.opened = true;
    configuration.text = text;
    configuration.maxPlotXPoints = 0;
    configuration.maxConsoleLines = 0;

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        ConfigurationProblem problem;
        problem.kind = Kind::JsonSyntax;
        problem.jsonError = parseError.error;
        problem.message = parseError.errorString();
        // The parser stops after the white space that follows the last good token (on the
        // next line, for a value missing at a line's end); the place meant is right after it.
        int offset = qBound(0, parseError.offset, text.size());
        while (offset > 0 && QChar::isSpace(uchar(text.at(offset - 1))))
            --offset;
        lineAndColumn(text, offset, &problem.line, &problem.column);
        configuration.problems.append(problem);
        return configuration;
    }
    ConfigurationReader reader(&configuration.problems);
    if (!document.isObject()) {
        reader.note(Kind::NotAnObject, QString(),
                    QStringLiteral("the top level is %1, not an object: no settings and no commands")
                        .arg(document.isArray() ? QStringLiteral("an array") : QStringLiteral("empty")));
        return configuration;
    }

    configuration.root = document.object();
    configuration.readSettings(reader);
    configuration.readCommands(reader);
    // A further section is read here, by a class of its own from section(name) and with the
    // same reader, after the commands.
    return configuration;
}

void Configuration::readSettings(ConfigurationReader &reader)
{
    // Without settings both limits stay 0 and the rest keep their defaults.
    const QJsonValue settingsValue = root.value(QStringLiteral("settings"));
    if (!reader.expect(settingsValue, QJsonValue::Object, QString(), QStringLiteral("settings"),
                       QStringLiteral("both limits read as 0"), ConfigurationReader::Required))
        return;
    const QJsonObject settings = settingsValue.toObject();
    const QString where = QStringLiteral("settings");

    const int points =
        readLimit(settings, QStringLiteral("maxPlotXPoints"), QStringLiteral("negative, read as 0"), reader);
    if (points > maxPlotXPointsCap) {
        reader.note(Kind::DefaultUsed, QStringLiteral("settings.maxPlotXPoints"),
                    QStringLiteral("%1 is more than the plots hold (%2 points), read as %2")
                        .arg(points)
                        .arg(maxPlotXPointsCap));
    }
    // The plot buffers cannot hold a negative number of points.
    maxPlotXPoints = qBound(0, points, maxPlotXPointsCap);
    maxConsoleLines = readLimit(settings, QStringLiteral("maxConsoleLines"),
                                QStringLiteral("negative, the console has no line limit"), reader);

    const QJsonValue sessionLogValue = settings.value(QStringLiteral("sessionLog"));
    sessionLog = sessionLogValue.toBool(true);
    reader.expect(sessionLogValue, QJsonValue::Bool, where, QStringLiteral("sessionLog"), QStringLiteral("read as true"),
                  ConfigurationReader::Optional);
    const QJsonValue plotTimeAxisValue = settings.value(QStringLiteral("plotTimeAxis"));
    plotTimeAxis = plotTimeAxisValue.toBool(false);
    reader.expect(plotTimeAxisValue, QJsonValue::Bool, where, QStringLiteral("plotTimeAxis"),
                  QStringLiteral("read as false"), ConfigurationReader::Optional);

    const QJsonValue languageValue = settings.value(QStringLiteral("language"));
    if (isKnownLanguage(languageValue.toString())) {
        language = languageValue.toString();
    } else if (languageValue.isString()) {
        reader.note(Kind::DefaultUsed, QStringLiteral("settings.language"),
                    QStringLiteral("unknown language %1 (\"ru\" or \"en\"), the window stays in Russian")
                        .arg(ConfigurationReader::quoted(languageValue.toString())));
    } else {
        reader.expect(languageValue, QJsonValue::String, where, QStringLiteral("language"),
                      QStringLiteral("the window stays in Russian"), ConfigurationReader::Optional);
    }
}

void Configuration::readCommands(ConfigurationReader &reader)
{
    const QJsonValue commandsValue = root.value(QStringLiteral("commands"));
    if (!reader.expect(commandsValue, QJsonValue::Array, QString(), QStringLiteral("commands"),
                       QStringLiteral("no descriptions"), ConfigurationReader::Required))
        return;
    const QJsonArray entries = commandsValue.toArray();
    QHash<int, int> entryByIdByte; // id byte -> index of the last entry that has it
    for (int i = 0; i < entries.size(); ++i) {
        const QString where = QStringLiteral("commands[%1]").arg(i);
        const CommandDescription description(entries.at(i), where, reader);
        if (description.id >= 0 && description.id <= 255) {
            const auto earlier = entryByIdByte.constFind(description.id);
            if (earlier != entryByIdByte.constEnd()) {
                reader.note(Kind::Layout, where + QStringLiteral(".id"),
                            description.id == 0
                                ? QStringLiteral("a second telemetry entry (id 0): it replaces commands[%1]").arg(*earlier)
                                : QStringLiteral("id %1 is also the id of commands[%2]: answers to both are "
                                                 "decoded by this entry")
                                      .arg(description.id)
                                      .arg(*earlier));
            }
            entryByIdByte.insert(description.id, i);
        }
        if (description.id == 0)
            telemetry = description;
        else
            commands.append(description);
    }
}

bool Configuration::isKnownLanguage(const QString &language)
{
    return language == QLatin1String("ru") || language == QLatin1String("en");
}

const ConfigurationProblem *Configuration::syntaxError() const
{
    for (const ConfigurationProblem &problem : problems) {
        if (problem.kind == ConfigurationProblem::Kind::JsonSyntax)
            return &problem;
    }
    return nullptr;
}

const CommandDescription *Configuration::findCommand(const QString &nameOrId) const
{
    for (const CommandDescription &command : commands) {
        if (command.name == nameOrId)
            return &command;
    }
    bool isNumber = false;
    const int id = nameOrId.toInt(&isNumber);
    if (!isNumber)
        return nullptr;
    // A later entry with the same id is the one whose answers are decoded.
    for (auto it = commands.crbegin(); it != commands.crend(); ++it) {
        if (it->id == id)
            return &*it;
    }
    return nullptr;
}

QList<CommandDescription> Configuration::descriptions() const
{
    QList<CommandDescription> all;
    if (telemetry.id == 0)
        all.append(telemetry);
    all.append(commands);
    return all;
}

void Configuration::lineAndColumn(const QByteArray &text, int offset, int *line, int *column)
{
    const int end = qBound(0, offset, text.size());
    int lineNumber = 1;
    int lineStart = 0;
    for (int i = 0; i < end; ++i) {
        if (text.at(i) == '\n') {
            ++lineNumber;
            lineStart = i + 1;
        }
    }
    int characters = 0;
    for (int i = lineStart; i < end; ++i) {
        // Continuation bytes of UTF-8 (10xxxxxx) do not start a character.
        if ((static_cast<quint8>(text.at(i)) & 0xc0) != 0x80)
            ++characters;
    }
    *line = lineNumber;
    *column = characters + 1;
}

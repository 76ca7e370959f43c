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

QString jsonTypeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("missing");
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Collects the problems of one document while it is read.
class Checker
{
public:
    explicit Checker(QList<ConfigurationProblem> &problems) : problems(problems) {}

    void add(Kind kind, const QString &where, const QString &message)
    {
        ConfigurationProblem problem;
        problem.kind = kind;
        problem.where = where;
        problem.message = message;
        problems.append(problem);
    }

    // A key that must be of one JSON type when present; absent is reported only if required.
    bool expect(const QJsonObject &object, const QString &key, QJsonValue::Type type,
                const QString &where, const QString &defaultText, bool required)
    {
        const QJsonValue value = object.value(key);
        if (value.type() == type)
            return true;
        if (value.isUndefined() && !required)
            return false;
        const QString found = value.isUndefined() ? QStringLiteral("missing")
                                                  : QStringLiteral("%1 instead of %2")
                                                        .arg(jsonTypeName(value), expectedName(type));
        add(Kind::DefaultUsed, where, found + QStringLiteral(", ") + defaultText);
        return false;
    }

    void checkSettings(const QJsonObject &root)
    {
        if (!expect(root, QStringLiteral("settings"), QJsonValue::Object, QStringLiteral("settings"),
                    QStringLiteral("both limits read as 0"), true))
            return;
        const QJsonObject settings = root.value(QStringLiteral("settings")).toObject();
        for (const char *key : {"maxPlotXPoints", "maxConsoleLines"}) {
            const QString name = QLatin1String(key);
            const QString where = QStringLiteral("settings.") + name;
            const QJsonValue value = settings.value(name);
            if (!value.isDouble()) {
                expect(settings, name, QJsonValue::Double, where, QStringLiteral("read as 0"), true);
            } else if (value.toDouble() != std::trunc(value.toDouble())
                       || std::abs(value.toDouble()) > 2147483647.0) {
                add(Kind::DefaultUsed, where,
                    QStringLiteral("%1 %2, read as 0").arg(value.toDouble()).arg(numberFault(value.toDouble())));
            } else if (value.toInt() < 0) {
                add(Kind::DefaultUsed, where,
                    name == QLatin1String("maxPlotXPoints")
                        ? QStringLiteral("negative, read as 0")
                        : QStringLiteral("negative, the console has no line limit"));
            } else if (name == QLatin1String("maxPlotXPoints") && value.toInt() > Configuration::maxPlotXPointsCap) {
                add(Kind::DefaultUsed, where,
                    QStringLiteral("%1 is more than the plots hold (%2 points), read as %2")
                        .arg(value.toInt())
                        .arg(Configuration::maxPlotXPointsCap));
            }
        }
        expect(settings, QStringLiteral("sessionLog"), QJsonValue::Bool,
               QStringLiteral("settings.sessionLog"), QStringLiteral("read as true"), false);
        expect(settings, QStringLiteral("plotTimeAxis"), QJsonValue::Bool,
               QStringLiteral("settings.plotTimeAxis"), QStringLiteral("read as false"), false);
        const QJsonValue language = settings.value(QStringLiteral("language"));
        if (language.isString() && !Configuration::isKnownLanguage(language.toString()))
            add(Kind::DefaultUsed, QStringLiteral("settings.language"),
                QStringLiteral("unknown language %1 (\"ru\" or \"en\"), the window stays in Russian")
                    .arg(quoted(language.toString())));
        else
            expect(settings, QStringLiteral("language"), QJsonValue::String, QStringLiteral("settings.language"),
                   QStringLiteral("the window stays in Russian"), false);
    }

    void checkEntry(const QJsonValue &element, const QString &where, const CommandDescription &description)
    {
        if (!element.isObject()) {
            add(Kind::DefaultUsed, where,
                QStringLiteral("%1 instead of an object, read as a nameless command with id -1")
                    .arg(jsonTypeName(element)));
            return;
        }
        const QJsonObject entry = element.toObject();
        expect(entry, QStringLiteral("name"), QJsonValue::String, where + QStringLiteral(".name"),
               QStringLiteral("the name is empty"), true);
        const QJsonValue id = entry.value(QStringLiteral("id"));
        if (!id.isDouble()) {
            expect(entry, QStringLiteral("id"), QJsonValue::Double, where + QStringLiteral(".id"),
                   QStringLiteral("read as %1").arg(description.id), true);
        } else if (id.toDouble() != double(description.id)) {
            add(Kind::DefaultUsed, where + QStringLiteral(".id"),
                QStringLiteral("%1 %2, read as %3")
                    .arg(id.toDouble(), 0, 'g', 17)
                    .arg(numberFault(id.toDouble()))
                    .arg(description.id));
        }
        if (description.id != -1 && (description.id < 0 || description.id > 255)) {
            add(Kind::Layout, where + QStringLiteral(".id"),
                QStringLiteral("%1 is outside 0..255: requests travel as id byte %2 and answers are never decoded")
                    .arg(description.id)
                    .arg(ReportLayout::idByteOf(description.id)));
        }
        checkFields(entry, QStringLiteral("in"), where, description.inNames, description.inTypes);
        checkFields(entry, QStringLiteral("out"), where, description.outNames, description.outTypes);
    }

private:
    static QString numberFault(double value)
    {
        return value != std::trunc(value) ? QStringLiteral("is not a whole number")
                                          : QStringLiteral("is outside the range of int");
    }

    static QString expectedName(QJsonValue::Type type)
    {
        return jsonTypeName(QJsonValue(type));
    }

    void checkFields(const QJsonObject &entry, const QString &direction, const QString &entryWhere,
                     const QStringList &names, const QVector<ParamType> &types)
    {
        const QString where = entryWhere + QLatin1Char('.') + direction;
        // An absent list is an ordinary entry (telemetry has no request, a command may have no answer).
        if (!expect(entry, direction, QJsonValue::Array, where, QStringLiteral("no fields"), false))
            return;
        const QJsonArray fields = entry.value(direction).toArray();
        const bool answer = direction == QLatin1String("in");
        int bytes = 0;
        for (int k = 0; k < fields.size(); ++k) {
            const QString fieldWhere = QStringLiteral("%1[%2]").arg(where).arg(k);
            if (!fields.at(k).isObject()) {
                add(Kind::DefaultUsed, fieldWhere,
                    QStringLiteral("%1 instead of an object, read as %2 of unknown type")
                        .arg(jsonTypeName(fields.at(k)), quoted(names.value(k))));
                continue;
            }
            const QJsonObject field = fields.at(k).toObject();
            const QJsonValue name = field.value(QStringLiteral("name"));
            if (name.isUndefined())
                add(Kind::DefaultUsed, fieldWhere + QStringLiteral(".name"),
                    QStringLiteral("missing, named %1").arg(quoted(names.value(k))));
            else
                expect(field, QStringLiteral("name"), QJsonValue::String, fieldWhere + QStringLiteral(".name"),
                       QStringLiteral("the name is empty"), true);

            const QJsonValue type = field.value(QStringLiteral("type"));
            if (type.isString() && types.value(k) == TypeUnknown)
                add(Kind::DefaultUsed, fieldWhere + QStringLiteral(".type"),
                    QStringLiteral("unknown type %1: the field takes no bytes and reads as 0").arg(quoted(type.toString())));
            else
                expect(field, QStringLiteral("type"), QJsonValue::String, fieldWhere + QStringLiteral(".type"),
                       QStringLiteral("the field takes no bytes and reads as 0"), true);

            expect(field, QStringLiteral("units"), QJsonValue::String, fieldWhere + QStringLiteral(".units"),
                   QStringLiteral("no units"), false);
            const QJsonValue view = field.value(QStringLiteral("view"));
            static const QStringList views{QStringLiteral("num"), QStringLiteral("hex"), QStringLiteral("bin"),
                                           QStringLiteral("str")};
            if (view.isString() && !views.contains(view.toString().toLower()))
                add(Kind::DefaultUsed, fieldWhere + QStringLiteral(".view"),
                    QStringLiteral("unknown view %1, shown as num").arg(quoted(view.toString())));
            else
                expect(field, QStringLiteral("view"), QJsonValue::String, fieldWhere + QStringLiteral(".view"),
                       QStringLiteral("shown as num"), false);

            const QString used = answer ? QStringLiteral("script") : QStringLiteral("default");
            const QString ignored = answer ? QStringLiteral("default") : QStringLiteral("script");
            expect(field, used, QJsonValue::String, fieldWhere + QLatin1Char('.') + used,
                   answer ? QStringLiteral("no script") : QStringLiteral("the default is empty"), false);
            if (field.contains(ignored))
                add(Kind::DefaultUsed, fieldWhere + QLatin1Char('.') + ignored,
                    answer ? QStringLiteral("ignored: answer and telemetry fields have no default")
                           : QStringLiteral("ignored: request fields have no script"));
            bytes += CommandDescription::widthOf(types.value(k));
        }
        if (bytes > ReportLayout::payloadSize) {
            add(Kind::Layout, where,
                answer ? QStringLiteral("the fields take %1 bytes, more than the %2 of a report: "
                                        "those past its end read as 0")
                             .arg(bytes)
                             .arg(ReportLayout::payloadSize)
                       : QStringLiteral("the fields take %1 bytes, more than the %2 of a report: "
                                        "those past its end are not sent (a string clears the fields before it)")
                             .arg(bytes)
                             .arg(ReportLayout::payloadSize));
        }
    }

    QList<ConfigurationProblem> &problems;
};

} // namespace

QString ConfigurationProblem::text() const
{
    if (kind == Kind::JsonSyntax)
        return QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(message);
    return where.isEmpty() ? message : where + QStringLiteral(": ") + message;
}

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
    Checker checker(configuration.problems);

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
    if (!document.isObject()) {
        checker.add(Kind::NotAnObject, QString(),
                    QStringLiteral("the top level is %1, not an object: no settings and no commands")
                        .arg(document.isArray() ? QStringLiteral("an array") : QStringLiteral("empty")));
        return configuration;
    }

    const QJsonObject root = document.object();
    const QJsonObject settings = root.value(QStringLiteral("settings")).toObject();
    // The plot buffers cannot hold a negative number of points.
    configuration.maxPlotXPoints =
        qBound(0, settings.value(QStringLiteral("maxPlotXPoints")).toInt(0), maxPlotXPointsCap);
    configuration.maxConsoleLines = settings.value(QStringLiteral("maxConsoleLines")).toInt(0);
    configuration.sessionLog = settings.value(QStringLiteral("sessionLog")).toBool(true);
    configuration.plotTimeAxis = settings.value(QStringLiteral("plotTimeAxis")).toBool(false);
    const QString language = settings.value(QStringLiteral("language")).toString();
    if (isKnownLanguage(language))
        configuration.language = language;
    checker.checkSettings(root);

    if (!checker.expect(root, QStringLiteral("commands"), QJsonValue::Array, QStringLiteral("commands"),
                        QStringLiteral("no descriptions"), true))
        return configuration;
    const QJsonArray entries = root.value(QStringLiteral("commands")).toArray();
    QHash<int, int> entryByIdByte; // id byte -> index of the last entry that has it
    for (int i = 0; i < entries.size(); ++i) {
        const QString where = QStringLiteral("commands[%1]").arg(i);
        const CommandDescription description(entries.at(i).toObject());
        checker.checkEntry(entries.at(i), where, description);
        if (description.id >= 0 && description.id <= 255) {
            const auto earlier = entryByIdByte.constFind(description.id);
            if (earlier != entryByIdByte.constEnd()) {
                checker.add(Kind::Layout, where + QStringLiteral(".id"),
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
            configuration.telemetry = description;
        else
            configuration.commands.append(description);
    }
    return configuration;
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

#include "configurationreader.h"

#include <cmath>

QString ConfigurationProblem::text() const
{
    if (kind == Kind::JsonSyntax)
        return QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(message);
    return where.isEmpty() ? message : where + QStringLiteral(": ") + message;
}

bool ConfigurationReader::expect(const QJsonValue &value, QJsonValue::Type type, const QString &where,
                                 const QString &key, const QString &taken, Presence presence)
{
    if (value.type() == type)
        return true;
    if (!problems || (value.isUndefined() && presence == Optional))
        return false;
    const QString found = value.isUndefined()
        ? QStringLiteral("missing")
        : QStringLiteral("%1 instead of %2").arg(jsonTypeName(value), jsonTypeName(QJsonValue(type)));
    note(Kind::DefaultUsed, keyPath(where, key), found + QStringLiteral(", ") + taken);
    return false;
}

void ConfigurationReader::note(Kind kind, const QString &where, const QString &message)
{
    if (!problems)
        return;
    ConfigurationProblem problem;
    problem.kind = kind;
    problem.where = where;
    problem.message = message;
    problems->append(problem);
}

QString ConfigurationReader::keyPath(const QString &where, const QString &key)
{
    return where.isEmpty() ? key : where + QLatin1Char('.') + key;
}

QString ConfigurationReader::jsonTypeName(const QJsonValue &value)
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

QString ConfigurationReader::quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString ConfigurationReader::numberFault(double value)
{
    return value != std::trunc(value) ? QStringLiteral("is not a whole number")
                                      : QStringLiteral("is outside the range of int");
}

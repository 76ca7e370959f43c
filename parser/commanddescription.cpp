#include "commanddescription.h"

#include <QJsonArray>
#include <QJsonValue>

#include <limits>

namespace {

struct TypeInfo
{
    ParamType type;
    const char *name;
    int width;
};

const TypeInfo typeTable[] = {
    {TypeBool, "bool", 1},     {TypeInt8, "int8", 1},     {TypeUInt8, "uint8", 1},
    {TypeInt16, "int16", 2},   {TypeUInt16, "uint16", 2}, {TypeInt32, "int32", 4},
    {TypeUInt32, "uint32", 4}, {TypeInt64, "int64", 8},   {TypeUInt64, "uint64", 8},
    {TypeDouble, "double", 8}, {TypeFloat, "float", 4},   {TypeString, "string", 62},
};

const char *const viewTable[] = {"num", "hex", "bin", "str"};

QString textOf(const QJsonObject &object, const QString &key)
{
    return object.value(key).toString();
}

} // namespace

CommandDescription::CommandDescription()
{
    buildTables();
}

CommandDescription::CommandDescription(const QJsonObject &entry)
{
    buildTables();
    name = textOf(entry, QStringLiteral("name"));
    const QJsonValue idValue = entry.value(QStringLiteral("id"));
    id = idOf(idValue);

    // Counted in 64 bits: an id near the top of the int range plus any number of nameless
    // parameters cannot overflow it.
    qint64 nextGeneratedNumber = id;
    auto parameterName = [&](const QJsonObject &parameter) {
        if (parameter.contains(QStringLiteral("name")))
            return textOf(parameter, QStringLiteral("name"));
        return QStringLiteral("Unknown_param_") + QString::number(nextGeneratedNumber++);
    };
    auto typeOf = [this](const QJsonObject &parameter) {
        return typeByName.value(textOf(parameter, QStringLiteral("type")).toLower(), TypeUnknown);
    };
    auto viewOf = [this](const QJsonObject &parameter) {
        return viewByName.value(textOf(parameter, QStringLiteral("view")).toLower(), ViewNum);
    };

    const QJsonArray in = entry.value(QStringLiteral("in")).toArray();
    for (const QJsonValue &element : in) {
        const QJsonObject parameter = element.toObject();
        inNames << parameterName(parameter);
        inTypes << typeOf(parameter);
        inUnits << textOf(parameter, QStringLiteral("units"));
        inScripts << textOf(parameter, QStringLiteral("script"));
        inViews << viewOf(parameter);
    }

    const QJsonArray out = entry.value(QStringLiteral("out")).toArray();
    for (const QJsonValue &element : out) {
        const QJsonObject parameter = element.toObject();
        outNames << parameterName(parameter);
        outTypes << typeOf(parameter);
        outUnits << textOf(parameter, QStringLiteral("units"));
        outViews << viewOf(parameter);
        outDefaults << textOf(parameter, QStringLiteral("default"));
    }
}

int CommandDescription::idOf(const QJsonValue &value)
{
    if (!value.isDouble())
        return -1;
    // A fractional id is truncated towards zero; one that no int holds reads as none.
    const double number = value.toDouble();
    constexpr double below = double(std::numeric_limits<int>::min()) - 1.0;
    constexpr double above = double(std::numeric_limits<int>::max()) + 1.0;
    if (!(number > below && number < above))
        return -1;
    return static_cast<int>(number);
}

int CommandDescription::widthOf(ParamType type)
{
    for (const TypeInfo &info : typeTable) {
        if (info.type == type)
            return info.width;
    }
    return 0;
}

namespace {

// Built once; every description shares them through implicit sharing.
struct Tables
{
    QHash<QString, ParamType> typeByName;
    QHash<ParamType, QString> typeName;
    QHash<ParamType, int> typeSize;
    QHash<QString, ParamView> viewByName;
    QHash<ParamView, QString> viewName;

    Tables()
    {
        typeSize.insert(TypeUnknown, 0);
        for (const TypeInfo &info : typeTable) {
            typeByName.insert(QLatin1String(info.name), info.type);
            typeName.insert(info.type, QLatin1String(info.name));
            typeSize.insert(info.type, info.width);
        }
        for (int view = ViewNum; view <= ViewStr; ++view) {
            viewByName.insert(QLatin1String(viewTable[view]), ParamView(view));
            viewName.insert(ParamView(view), QLatin1String(viewTable[view]));
        }
    }
};

} // namespace

void CommandDescription::buildTables()
{
    static const Tables tables;
    typeByName = tables.typeByName;
    typeName = tables.typeName;
    typeSize = tables.typeSize;
    viewByName = tables.viewByName;
    viewName = tables.viewName;
}

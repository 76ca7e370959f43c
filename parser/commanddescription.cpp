#include "commanddescription.h"

#include "configurationreader.h"
#include "fieldcodec.h"
#include "requestframe.h"
#include "reportlayout.h"

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

} // namespace

CommandDescription::CommandDescription()
{
    buildTables();
}

CommandDescription::CommandDescription(const QJsonObject &entry)
{
    buildTables();
    ConfigurationReader notesNothing;
    read(entry, QString(), notesNothing);
}

CommandDescription::CommandDescription(const QJsonValue &element, const QString &where, ConfigurationReader &reader)
{
    buildTables();
    read(element, where, reader);
}

void CommandDescription::read(const QJsonValue &element, const QString &where, ConfigurationReader &reader)
{
    using Kind = ConfigurationReader::Kind;
    if (!element.isObject()) {
        reader.note(Kind::DefaultUsed, where,
                    QStringLiteral("%1 instead of an object, read as a nameless command with id -1")
                        .arg(ConfigurationReader::jsonTypeName(element)));
        return;
    }
    const QJsonObject entry = element.toObject();

    const QJsonValue nameValue = entry.value(QStringLiteral("name"));
    name = nameValue.toString();
    reader.expect(nameValue, QJsonValue::String, where, QStringLiteral("name"), QStringLiteral("the name is empty"),
                  ConfigurationReader::Required);

    const QJsonValue idValue = entry.value(QStringLiteral("id"));
    id = idOf(idValue);
    if (!idValue.isDouble()) {
        reader.expect(idValue, QJsonValue::Double, where, QStringLiteral("id"), QStringLiteral("read as %1").arg(id),
                      ConfigurationReader::Required);
    } else if (idValue.toDouble() != double(id)) {
        reader.note(Kind::DefaultUsed, ConfigurationReader::keyPath(where, QStringLiteral("id")),
                    QStringLiteral("%1 %2, read as %3")
                        .arg(idValue.toDouble(), 0, 'g', 17)
                        .arg(ConfigurationReader::numberFault(idValue.toDouble()))
                        .arg(id));
    }
    if (id != -1 && (id < 0 || id > 255)) {
        reader.note(Kind::Layout, ConfigurationReader::keyPath(where, QStringLiteral("id")),
                    QStringLiteral("%1 is outside 0..255: requests travel as id byte %2 and answers are never decoded")
                        .arg(id)
                        .arg(ReportLayout::idByteOf(id)));
    }

    // Counted in 64 bits: an id near the top of the int range plus any number of nameless
    // parameters cannot overflow it.
    qint64 nextGeneratedNumber = id;
    readFields(entry, true, where, reader, nextGeneratedNumber);
    readFields(entry, false, where, reader, nextGeneratedNumber);
}

void CommandDescription::readFields(const QJsonObject &entry, bool answer, const QString &where,
                                    ConfigurationReader &reader, qint64 &nextGeneratedNumber)
{
    using Kind = ConfigurationReader::Kind;
    const QString key = answer ? QStringLiteral("in") : QStringLiteral("out");
    const QJsonValue list = entry.value(key);
    // An absent list is an ordinary entry (telemetry has no request, a command may have no answer).
    if (!reader.expect(list, QJsonValue::Array, where, key, QStringLiteral("no fields"), ConfigurationReader::Optional))
        return;

    QStringList &names = answer ? inNames : outNames;
    QVector<ParamType> &types = answer ? inTypes : outTypes;
    QStringList &units = answer ? inUnits : outUnits;
    QVector<ParamView> &views = answer ? inViews : outViews;
    // An answer field has a script, a request field a default text; the other key is ignored.
    QStringList &texts = answer ? inScripts : outDefaults;
    const QString textKey = answer ? QStringLiteral("script") : QStringLiteral("default");
    const QString ignoredKey = answer ? QStringLiteral("default") : QStringLiteral("script");

    const QString listWhere = ConfigurationReader::keyPath(where, key);
    const QJsonArray fields = list.toArray();
    int bytes = 0;
    for (int k = 0; k < fields.size(); ++k) {
        const QString fieldWhere = QStringLiteral("%1[%2]").arg(listWhere).arg(k);
        // Not an object: read as an empty one, a field of unknown type with a generated name.
        const QJsonObject field = fields.at(k).toObject();

        const QJsonValue nameValue = field.value(QStringLiteral("name"));
        names << (nameValue.isUndefined() ? QStringLiteral("Unknown_param_") + QString::number(nextGeneratedNumber++)
                                          : nameValue.toString());
        const QJsonValue typeValue = field.value(QStringLiteral("type"));
        types << typeByName.value(typeValue.toString().toLower(), TypeUnknown);
        const QJsonValue unitsValue = field.value(QStringLiteral("units"));
        units << unitsValue.toString();
        const QJsonValue viewValue = field.value(QStringLiteral("view"));
        const auto view = viewByName.constFind(viewValue.toString().toLower());
        views << (view == viewByName.constEnd() ? ViewNum : *view);
        const QJsonValue textValue = field.value(textKey);
        texts << textValue.toString();

        if (!fields.at(k).isObject()) {
            reader.note(Kind::DefaultUsed, fieldWhere,
                        QStringLiteral("%1 instead of an object, read as %2 of unknown type")
                            .arg(ConfigurationReader::jsonTypeName(fields.at(k)),
                                 ConfigurationReader::quoted(names.last())));
            continue;
        }
        if (nameValue.isUndefined())
            reader.note(Kind::DefaultUsed, fieldWhere + QStringLiteral(".name"),
                        QStringLiteral("missing, named %1").arg(ConfigurationReader::quoted(names.last())));
        else
            reader.expect(nameValue, QJsonValue::String, fieldWhere, QStringLiteral("name"),
                          QStringLiteral("the name is empty"), ConfigurationReader::Required);
        if (typeValue.isString() && types.last() == TypeUnknown)
            reader.note(Kind::DefaultUsed, fieldWhere + QStringLiteral(".type"),
                        QStringLiteral("unknown type %1: the field takes no bytes and reads as 0")
                            .arg(ConfigurationReader::quoted(typeValue.toString())));
        else
            reader.expect(typeValue, QJsonValue::String, fieldWhere, QStringLiteral("type"),
                          QStringLiteral("the field takes no bytes and reads as 0"), ConfigurationReader::Required);
        reader.expect(unitsValue, QJsonValue::String, fieldWhere, QStringLiteral("units"), QStringLiteral("no units"),
                      ConfigurationReader::Optional);
        if (viewValue.isString() && view == viewByName.constEnd())
            reader.note(Kind::DefaultUsed, fieldWhere + QStringLiteral(".view"),
                        QStringLiteral("unknown view %1, shown as num")
                            .arg(ConfigurationReader::quoted(viewValue.toString())));
        else
            reader.expect(viewValue, QJsonValue::String, fieldWhere, QStringLiteral("view"),
                          QStringLiteral("shown as num"), ConfigurationReader::Optional);
        reader.expect(textValue, QJsonValue::String, fieldWhere, textKey,
                      answer ? QStringLiteral("no script") : QStringLiteral("the default is empty"),
                      ConfigurationReader::Optional);
        if (!answer && !texts.last().isEmpty()) {
            // A default the field refuses makes every request that leaves it refused too.
            QByteArray request(ReportLayout::size, '\0');
            bool accepted = true;
            FieldCodec::encodeText(request, ReportLayout::payloadStart, types.last(), views.last(), texts.last(),
                                   &accepted);
            if (!accepted)
                reader.note(Kind::Layout, fieldWhere + QLatin1Char('.') + textKey,
                            QStringLiteral("%1 is refused (the field takes %2): a request that leaves it is not sent")
                                .arg(ConfigurationReader::quoted(texts.last()),
                                     RequestFrame::acceptedText(types.last(), views.last())));
        }
        if (field.contains(ignoredKey))
            reader.note(Kind::DefaultUsed, fieldWhere + QLatin1Char('.') + ignoredKey,
                        answer ? QStringLiteral("ignored: answer and telemetry fields have no default")
                               : QStringLiteral("ignored: request fields have no script"));
        bytes += widthOf(types.last());
    }
    if (bytes > ReportLayout::payloadSize) {
        reader.note(Kind::Layout, listWhere,
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

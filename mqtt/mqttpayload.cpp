#include "mqttpayload.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>

namespace {

void appendJsonString(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    out += '"';
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// Influx's escaping of measurement names, tag keys and values and field keys: a backslash
// before commas, equals signs and spaces; line breaks are written as \n.
QByteArray influxName(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == ',' || c == '=' || c == ' ' || c == '\\')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out.isEmpty() ? QByteArray("_") : out;
}

void appendInfluxString(QByteArray &out, const QString &text)
{
    out += '"';
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    out += '"';
}

// Names made unique: a repeated one gets "#2", "#3" ... as tolvexctl's JSON lines have them.
QStringList uniqueNames(const QStringList &names)
{
    QStringList unique;
    QHash<QString, int> seen;
    for (const QString &name : names) {
        const int count = ++seen[name];
        unique << (count == 1 ? name : name + QLatin1Char('#') + QString::number(count));
    }
    return unique;
}

void appendShortest(QByteArray &out, double value)
{
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(result.ptr - buffer));
}

} // namespace

void MqttPayload::appendJsonNumber(QByteArray &out, double value)
{
    if (!std::isfinite(value))
        out += "null";
    else
        appendShortest(out, value);
}

void MqttPayload::refreshKeys(const QVector<MqttValue> &values)
{
    bool same = names.size() == values.size();
    for (int i = 0; same && i < values.size(); ++i)
        same = names.at(i) == values.at(i).name;
    if (same)
        return;
    names.clear();
    for (const MqttValue &value : values)
        names << value.name;
    const QStringList unique = uniqueNames(names);
    jsonKeys.clear();
    influxKeys.clear();
    for (const QString &name : unique) {
        QByteArray key;
        appendJsonString(key, name);
        key += ':';
        jsonKeys << key;
        influxKeys << influxName(name) + '=';
    }
}

QByteArray MqttPayload::json(qint64 msSinceEpoch, const QVector<MqttValue> &values)
{
    refreshKeys(values);
    QByteArray out;
    out.reserve(40 + values.size() * 24);
    out += "{\"ts\":";
    const qint64 seconds = msSinceEpoch / 1000;
    const int millis = int(msSinceEpoch % 1000);
    out += QByteArray::number(seconds);
    out += '.';
    out += char('0' + millis / 100);
    out += char('0' + millis / 10 % 10);
    out += char('0' + millis % 10);
    out += ",\"values\":{";
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += ',';
        out += jsonKeys.at(i);
        const MqttValue &value = values.at(i);
        if (value.view == ViewNum)
            appendJsonNumber(out, value.number);
        else
            appendJsonString(out, value.text);
    }
    out += "}}";
    return out;
}

void MqttPayload::setInfluxTags(const QString &host, const QString &deviceTag)
{
    influxPrefix = "tolvex";
    if (!host.isEmpty())
        influxPrefix += ",host=" + influxName(host);
    if (!deviceTag.isEmpty())
        influxPrefix += ",device=" + influxName(deviceTag);
}

QByteArray MqttPayload::influx(qint64 msSinceEpoch, const QVector<MqttValue> &values)
{
    refreshKeys(values);
    QByteArray out;
    out.reserve(influxPrefix.size() + 32 + values.size() * 24);
    out += influxPrefix;
    bool first = true;
    for (int i = 0; i < values.size(); ++i) {
        const MqttValue &value = values.at(i);
        if (value.view == ViewNum && !std::isfinite(value.number))
            continue;
        out += first ? ' ' : ',';
        first = false;
        out += influxKeys.at(i);
        if (value.view == ViewNum)
            appendShortest(out, value.number);
        else
            appendInfluxString(out, value.text);
    }
    if (first)
        return QByteArray();
    out += ' ';
    out += QByteArray::number(msSinceEpoch * 1000000);
    return out;
}

QByteArray MqttPayload::metaJson(const MqttMeta &meta)
{
    static const char *const viewNames[] = {"num", "hex", "bin", "str"};
    QJsonArray values;
    for (int i = 0; i < meta.names.size(); ++i) {
        const int view = meta.views.value(i, ViewNum);
        QJsonObject value;
        value.insert(QStringLiteral("name"), meta.names.at(i));
        value.insert(QStringLiteral("units"), meta.units.value(i));
        value.insert(QStringLiteral("view"), QLatin1String(view >= 0 && view < 4 ? viewNames[view] : "num"));
        values.append(value);
    }
    QJsonObject root;
    root.insert(QStringLiteral("product"), meta.product);
    root.insert(QStringLiteral("tag"), meta.tag);
    root.insert(QStringLiteral("version"), meta.version);
    root.insert(QStringLiteral("values"), values);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

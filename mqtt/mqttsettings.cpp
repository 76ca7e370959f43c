#include "mqttsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonValue>
#include <QSysInfo>
#include <QUrl>

#include <cmath>

namespace {

QString typeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    default: return QStringLiteral("nothing");
    }
}

class Reader
{
public:
    Reader(const QJsonObject &object, QList<ConfigurationProblem> *problems) : object(object), problems(problems) {}

    void add(const QString &key, const QString &message)
    {
        if (!problems)
            return;
        ConfigurationProblem problem;
        problem.kind = ConfigurationProblem::Kind::DefaultUsed;
        problem.where = key.isEmpty() ? QStringLiteral("mqtt") : QStringLiteral("mqtt.") + key;
        problem.message = message;
        problems->append(problem);
    }

    // The key's value when it has the type; absent: fallback silently; another type: fallback
    // with a problem saying what is done instead.
    QJsonValue take(const QString &key, QJsonValue::Type type, const char *expected, const QString &instead)
    {
        const QJsonValue value = object.value(key);
        if (value.isUndefined() || value.type() == type)
            return value;
        add(key, QStringLiteral("%1 instead of %2, %3").arg(typeName(value), QLatin1String(expected), instead));
        return QJsonValue(QJsonValue::Undefined);
    }

    QString string(const QString &key, const QString &instead)
    {
        return take(key, QJsonValue::String, "a string", instead).toString();
    }

    const QJsonObject &object;
    QList<ConfigurationProblem> *problems;
};

QString topicLevel(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') || c.unicode() == 0)
            c = QLatin1Char('_');
    }
    return text.isEmpty() ? QStringLiteral("_") : text;
}

} // namespace

bool MqttSettings::isValidUrl(const QString &text, QString *error)
{
    const QUrl url(text, QUrl::StrictMode);
    QString why;
    if (!url.isValid() || (url.scheme() != QLatin1String("mqtt") && url.scheme() != QLatin1String("mqtts")))
        why = QStringLiteral("'%1' is not an mqtt:// or mqtts:// URL").arg(text);
    else if (url.host().isEmpty())
        why = QStringLiteral("'%1' names no host").arg(text);
    else if (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        why = QStringLiteral("'%1' has a path; the topic is set apart").arg(text);
    if (error)
        *error = why;
    return why.isEmpty();
}

MqttSettings MqttSettings::fromUrl(const QString &url, QString *error)
{
    MqttSettings settings;
    if (!isValidUrl(url, error))
        return settings;
    settings.enabled = true;
    settings.url = url;
    return settings;
}

MqttSettings MqttSettings::read(const QJsonObject &root, const QString &configPath,
                                QList<ConfigurationProblem> *problems)
{
    MqttSettings settings;
    const QJsonValue section = root.value(QStringLiteral("mqtt"));
    if (section.isUndefined() || section.isNull())
        return settings;
    if (!section.isObject()) {
        Reader(root, problems).add(QString(), QStringLiteral("%1 instead of an object, nothing is published")
                                                   .arg(typeName(section)));
        return settings;
    }
    const QJsonObject object = section.toObject();
    Reader reader(object, problems);
    const QDir folder = configPath.isEmpty() ? QDir::current() : QFileInfo(configPath).absoluteDir();

    const QJsonValue url = object.value(QStringLiteral("url"));
    QString urlError;
    if (!url.isString()) {
        reader.add(QStringLiteral("url"), url.isUndefined() ? QStringLiteral("missing, nothing is published")
                                                            : QStringLiteral("%1 instead of a string, nothing is published")
                                                                  .arg(typeName(url)));
    } else if (!isValidUrl(url.toString(), &urlError)) {
        reader.add(QStringLiteral("url"), urlError + QStringLiteral(", nothing is published"));
    } else {
        settings.enabled = true;
        settings.url = url.toString();
    }

    settings.topic = reader.string(QStringLiteral("topic"), QStringLiteral("the default topic is used"));
    if (settings.topic.contains(QLatin1Char('+')) || settings.topic.contains(QLatin1Char('#'))) {
        reader.add(QStringLiteral("topic"), QStringLiteral("'%1' holds a wildcard (+ or #), the default topic is used")
                                                .arg(settings.topic));
        settings.topic.clear();
    }
    while (settings.topic.endsWith(QLatin1Char('/')))
        settings.topic.chop(1);
    settings.clientId = reader.string(QStringLiteral("clientId"), QStringLiteral("a client id of its own is used"));
    settings.username = reader.string(QStringLiteral("username"), QStringLiteral("no user name is given"));
    settings.password = reader.string(QStringLiteral("password"), QStringLiteral("no password is given"));
    const QString passwordFile = reader.string(QStringLiteral("passwordFile"), QStringLiteral("no password is given"));
    if (!passwordFile.isEmpty()) {
        QFile file(folder.absoluteFilePath(passwordFile));
        if (!settings.password.isEmpty()) {
            reader.add(QStringLiteral("passwordFile"), QStringLiteral("given beside \"password\", which is used"));
        } else if (!file.open(QIODevice::ReadOnly)) {
            reader.add(QStringLiteral("passwordFile"), QStringLiteral("'%1' cannot be read (%2), no password is given")
                                                           .arg(file.fileName(), file.errorString()));
        } else {
            QByteArray text = file.readAll();
            while (text.endsWith('\n') || text.endsWith('\r'))
                text.chop(1);
            settings.password = QString::fromUtf8(text);
        }
    }

    const QJsonValue qos = reader.take(QStringLiteral("qos"), QJsonValue::Double, "a number", QStringLiteral("read as 0"));
    if (qos.isDouble()) {
        if (qos.toDouble() == 0 || qos.toDouble() == 1)
            settings.qos = qos.toInt();
        else
            reader.add(QStringLiteral("qos"), QStringLiteral("%1 is neither 0 nor 1, read as 0").arg(qos.toDouble()));
    }

    const QString ca = reader.string(QStringLiteral("ca"), QStringLiteral("the system's certificates are trusted"));
    if (!ca.isEmpty()) {
        const QString path = folder.absoluteFilePath(ca);
        if (!QFileInfo(path).isReadable())
            reader.add(QStringLiteral("ca"), QStringLiteral("'%1' cannot be read, the system's certificates are trusted")
                                                 .arg(path));
        else
            settings.ca = path;
    }
    settings.commands = reader.take(QStringLiteral("commands"), QJsonValue::Bool, "a boolean",
                                    QStringLiteral("read as false")).toBool(false);

    const QString format = reader.string(QStringLiteral("format"), QStringLiteral("read as \"json\""));
    if (format == QLatin1String("influx"))
        settings.format = Format::Influx;
    else if (!format.isEmpty() && format != QLatin1String("json"))
        reader.add(QStringLiteral("format"), QStringLiteral("'%1' is neither \"json\" nor \"influx\", read as \"json\"")
                                                 .arg(format));

    const QJsonValue bound = reader.take(QStringLiteral("bufferReports"), QJsonValue::Double, "a number",
                                         QStringLiteral("read as %1").arg(defaultBufferReports));
    if (bound.isDouble()) {
        const double value = bound.toDouble();
        if (value != std::trunc(value) || value < 0)
            reader.add(QStringLiteral("bufferReports"), QStringLiteral("%1 is not a whole number of reports, read as %2")
                                                            .arg(value)
                                                            .arg(defaultBufferReports));
        else if (value > maxBufferReports)
            reader.add(QStringLiteral("bufferReports"), QStringLiteral("%1 is more than %2, read as %2")
                                                            .arg(value)
                                                            .arg(maxBufferReports));
        settings.bufferReports = value != std::trunc(value) || value < 0 ? int(defaultBufferReports)
                                                                         : int(std::min<double>(value, maxBufferReports));
    }

    static const QStringList known = {QStringLiteral("url"), QStringLiteral("topic"), QStringLiteral("clientId"),
                                      QStringLiteral("username"), QStringLiteral("password"),
                                      QStringLiteral("passwordFile"), QStringLiteral("qos"), QStringLiteral("ca"),
                                      QStringLiteral("commands"), QStringLiteral("format"),
                                      QStringLiteral("bufferReports")};
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!known.contains(it.key()))
            reader.add(it.key(), QStringLiteral("unknown key, not used"));
    }
    return settings;
}

QString MqttSettings::topicFor(const QString &deviceTag) const
{
    if (!topic.isEmpty())
        return topic;
    return QStringLiteral("tolvex/") + topicLevel(QSysInfo::machineHostName()) + QLatin1Char('/')
           + topicLevel(deviceTag);
}

bool MqttSettings::isTls() const
{
    return url.startsWith(QLatin1String("mqtts:"), Qt::CaseInsensitive);
}

QString MqttSettings::serverUri() const
{
    const QUrl parsed(url);
    const int port = parsed.port(isTls() ? 8883 : 1883);
    QString host = parsed.host();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return (isTls() ? QStringLiteral("ssl://") : QStringLiteral("tcp://")) + host + QLatin1Char(':')
           + QString::number(port);
}

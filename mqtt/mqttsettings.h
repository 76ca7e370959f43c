#ifndef MQTTSETTINGS_H
#define MQTTSETTINGS_H

#include "configuration.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// The broker the values are published to: the configuration's "mqtt" object. Without one
// (enabled false) nothing is published.
struct MqttSettings
{
    enum class Format { Json, Influx };

    bool enabled = false;
    // mqtt://host[:port] or mqtts://host[:port] (1883 and 8883 when no port is given).
    QString url;
    // The topic every other topic hangs under; empty: tolvex/<host name>/<device tag>.
    QString topic;
    // Empty: a client id made of the host name and the process id.
    QString clientId;
    QString username;
    // The password, or the text of the file "passwordFile" names (its trailing line break cut).
    QString password;
    // 0 or 1, for telemetry and answers (status is always published with 1).
    int qos = 0;
    // A CA file for mqtts; empty: the system's trusted certificates.
    QString ca;
    // Requests on <topic>/command are taken only when true.
    bool commands = false;
    Format format = Format::Json;
    // Reports kept while the broker cannot be reached; beyond it the oldest are dropped.
    int bufferReports = 10000;

    static constexpr int defaultBufferReports = 10000;
    static constexpr int maxBufferReports = 10000000;

    // Reads root's "mqtt" object (absent or null: not enabled). Problems are appended as the
    // rest of the configuration's reading reports them (where: "mqtt.qos" ...); relative
    // file names (passwordFile, ca) are taken from the folder of configPath.
    static MqttSettings read(const QJsonObject &root, const QString &configPath,
                             QList<ConfigurationProblem> *problems);
    // The settings of a quick run: only the broker's URL (the rest at defaults). Empty when it
    // is not an mqtt:// or mqtts:// URL with a host; *error then says why.
    static MqttSettings fromUrl(const QString &url, QString *error);
    // Whether url is an mqtt:// or mqtts:// URL with a host; else *error says why.
    static bool isValidUrl(const QString &url, QString *error = nullptr);

    // The topic in use for a device with this tag: topic, or tolvex/<host name>/<tag> with
    // the characters MQTT reserves in a topic level ('/', '+', '#') replaced by '_'.
    QString topicFor(const QString &deviceTag) const;
    // The URL as the client library takes it (tcp:// or ssl://, with its port).
    QString serverUri() const;
    bool isTls() const;
};

#endif // MQTTSETTINGS_H

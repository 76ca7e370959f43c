#ifndef MQTTLINK_H
#define MQTTLINK_H

#include "commanddescription.h"
#include "mqttpayload.h"
#include "mqttsettings.h"
#include "reportdecoder.h"

#include <QCommandLineOption>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class Configuration;
class MqttPublisher;
class QCommandLineParser;

// tolvexctl's side of the MQTT publisher: the configuration's "mqtt" object, or --mqtt URL
// for a quick run, and the decoded telemetry of watch and record published with it. The
// broker's state changes are said on standard error; nothing else depends on the broker.
class MqttLink : public QObject
{
    Q_OBJECT

public:
    explicit MqttLink(QObject *parent = nullptr);
    ~MqttLink() override;

    static QCommandLineOption option();
    // Reads --mqtt and the configuration's "mqtt" object (--mqtt's URL wins over its url). The
    // usage error, or an empty string.
    QString read(const QCommandLineParser &parser, const Configuration &configuration);
    bool enabled() const { return settings.enabled; }
    const MqttSettings &mqttSettings() const { return settings; }

    // Starts publishing for the open device: meta from the telemetry description.
    void start(const CommandDescription &telemetry, const QString &product, const QString &tag);
    // One telemetry report as decoded (fields after scripts, and their texts).
    void publish(qint64 msSinceEpoch, const ReportDecoder::Fields &fields, const QStringList &texts);
    // Hands over what is left (a few seconds at most) and says on standard error what was not
    // delivered.
    void stop();

    // The values of a decoded report as the publisher takes them, for a description.
    static void fill(QVector<MqttValue> *values, const CommandDescription &telemetry,
                     const ReportDecoder::Fields &fields, const QStringList &texts);

private:
    MqttSettings settings;
    std::unique_ptr<MqttPublisher> publisher;
    CommandDescription description;
    QVector<MqttValue> values;
};

#endif // MQTTLINK_H

#include "mqttlink.h"

#include "configuration.h"
#include "mqttpublisher.h"
#include "output.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonObject>

MqttLink::MqttLink(QObject *parent) : QObject(parent) {}

MqttLink::~MqttLink()
{
    stop();
}

QCommandLineOption MqttLink::option()
{
    return QCommandLineOption(QStringLiteral("mqtt"),
                              QStringLiteral("Publishes the decoded values to the MQTT broker at URL (mqtt://host[:port] "
                                             "or mqtts://host[:port]), over the configuration's \"mqtt\" url."),
                              QStringLiteral("URL"));
}

QString MqttLink::read(const QCommandLineParser &parser, const Configuration &configuration)
{
    // Problems of the "mqtt" object are check-config's to list; here the object is used as it reads.
    settings = MqttSettings::read(configuration.document(), configuration.path, nullptr);
    if (!parser.isSet(QStringLiteral("mqtt")))
        return QString();
    const QString url = parser.value(QStringLiteral("mqtt"));
    QString error;
    if (!MqttSettings::isValidUrl(url, &error))
        return QStringLiteral("--mqtt: ") + error;
    settings.url = url;
    settings.enabled = true;
    return QString();
}

void MqttLink::start(const CommandDescription &telemetry, const QString &product, const QString &tag)
{
    if (!settings.enabled || publisher)
        return;
    description = telemetry;
    values.clear();
    const int count = ReportDecoder::fieldCount(telemetry);
    QStringList blank;
    for (int i = 0; i < count; ++i)
        blank << QString();
    fill(&values, telemetry, ReportDecoder::Fields(count), blank);
    publisher = std::make_unique<MqttPublisher>(settings);
    connect(publisher.get(), &MqttPublisher::stateChanged, this, [](const MqttState &state) {
        complain(state.englishText());
    });
    MqttMeta meta;
    for (const MqttValue &value : qAsConst(values)) {
        meta.names << value.name;
        meta.units << telemetry.inUnits.value(meta.views.size());
        meta.views << value.view;
    }
    meta.product = product;
    meta.tag = tag;
    meta.version = QCoreApplication::applicationVersion();
    publisher->setMeta(meta);
}

void MqttLink::fill(QVector<MqttValue> *values, const CommandDescription &telemetry,
                    const ReportDecoder::Fields &fields, const QStringList &texts)
{
    const int count = std::min({int(fields.size()), int(texts.size()), ReportDecoder::fieldCount(telemetry)});
    if (values->size() != count) {
        values->resize(count);
        for (int i = 0; i < count; ++i) {
            (*values)[i].name = telemetry.inNames.value(i);
            // A string is text whatever its view.
            (*values)[i].view = telemetry.inTypes.value(i) == TypeString ? ViewStr : telemetry.inViews.value(i, ViewNum);
        }
    }
    for (int i = 0; i < count; ++i) {
        MqttValue &value = (*values)[i];
        value.number = fields.at(i).value;
        if (value.view != ViewNum)
            value.text = texts.at(i);
    }
}

void MqttLink::publish(qint64 msSinceEpoch, const ReportDecoder::Fields &fields, const QStringList &texts)
{
    if (!publisher)
        return;
    fill(&values, description, fields, texts);
    publisher->publishReport(msSinceEpoch, values);
}

void MqttLink::stop()
{
    if (!publisher)
        return;
    publisher->stop();
    // The state changes of a short run are said too.
    QCoreApplication::sendPostedEvents(publisher.get());
    const MqttState state = publisher->state();
    if (state.undelivered() > 0) {
        complain(QStringLiteral("mqtt: %1 reports not delivered to %2 (%3 dropped while the broker could not be reached)")
                     .arg(state.undelivered())
                     .arg(settings.url)
                     .arg(state.dropped));
    }
    publisher.reset();
}

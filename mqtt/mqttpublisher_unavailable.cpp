// MqttPublisher in a build without an MQTT client library (a Windows toolchain whose Debian
// mirror did not serve Paho's source, or a Qt without its Network module): nothing reaches a
// broker, and the state says so from the start, counting every report handed over as dropped,
// so that no front end shows publishing that does not happen.
#include "mqttpublisher.h"

#include <QDateTime>
#include <QMetaObject>

#include <mutex>

class MqttPublisher::Worker
{
public:
    explicit Worker(const MqttSettings &settings)
        : settings(settings)
    {
    }

    const MqttSettings settings;
    mutable std::mutex mutex;
    MqttState state;
    QString topic;
    bool told = false;
};

MqttPublisher::MqttPublisher(const MqttSettings &settings, QObject *parent)
    : QObject(parent)
    , worker(std::make_unique<Worker>(settings))
{
    qRegisterMetaType<MqttState>();
    MqttState &state = worker->state;
    state.url = settings.url;
    if (settings.enabled) {
        state.kind = MqttState::Kind::Disconnected;
        state.since = QDateTime::currentMSecsSinceEpoch();
        state.detail = QStringLiteral("this build has no MQTT client library");
    }
}

MqttPublisher::~MqttPublisher() = default;

void MqttPublisher::setMeta(const MqttMeta &meta)
{
    bool tell = false;
    {
        const std::lock_guard<std::mutex> lock(worker->mutex);
        worker->topic = worker->settings.topicFor(meta.tag);
        tell = !worker->told && worker->settings.enabled;
        worker->told = true;
    }
    // Once, as the real publisher tells its first attempt: on the publisher's own thread.
    if (tell)
        QMetaObject::invokeMethod(this, "deliverNews", Qt::QueuedConnection);
}

void MqttPublisher::deliverNews()
{
    emit stateChanged(state());
}

void MqttPublisher::publishReport(qint64, const QVector<MqttValue> &)
{
    const std::lock_guard<std::mutex> lock(worker->mutex);
    if (worker->settings.enabled)
        ++worker->state.dropped;
}

void MqttPublisher::publishAnswer(const QByteArray &)
{
}

void MqttPublisher::stop(int)
{
}

MqttState MqttPublisher::state() const
{
    const std::lock_guard<std::mutex> lock(worker->mutex);
    return worker->state;
}

const MqttSettings &MqttPublisher::settings() const
{
    return worker->settings;
}

QString MqttPublisher::topic() const
{
    const std::lock_guard<std::mutex> lock(worker->mutex);
    return worker->topic;
}

qint64 MqttPublisher::deliveredReports() const
{
    return 0;
}

#ifndef MQTTPUBLISHER_H
#define MQTTPUBLISHER_H

#include "mqttpayload.h"
#include "mqttsettings.h"
#include "mqttstate.h"

#include <QByteArray>
#include <QObject>
#include <QVector>

#include <memory>

// Publishes decoded telemetry to an MQTT broker through Eclipse Paho's asynchronous client:
//   <topic>/telemetry  one message per report (JSON), or influx lines (several reports a message);
//   <topic>/meta       retained: names, units, views, product, tag, version;
//   <topic>/status     retained, QoS 1: "online" when connected, "offline" as the last will and
//                      on stop();
//   <topic>/command    taken (commandReceived) only with settings.commands; answers go to
//                      <topic>/answer (publishAnswer).
// Reports wait in a bounded queue of the publisher's own and are handed to the client library
// by one thread of the publisher's, in order, only while connected; while the broker cannot be
// reached they are kept up to settings.bufferReports, the oldest dropped and counted beyond it.
// Those the library had not written (or, at QoS 1, the broker not acknowledged) when a
// connection went wait again at the front of the queue, in order.
// The client reconnects on its own within about 1.5 s of the broker's return.
//
// publishReport, publishAnswer, setMeta and state() may be called from any thread and never
// wait on the network. The signals come on the thread the publisher lives in.
class MqttPublisher : public QObject
{
    Q_OBJECT

public:
    explicit MqttPublisher(const MqttSettings &settings, QObject *parent = nullptr);
    // stop(), when not yet done.
    ~MqttPublisher() override;

    // What the values are, and the device's tag (which the default topic names). The first
    // call starts connecting; reports published before it wait in the queue. A later call
    // with another tag moves to that tag's topic (when the topic is the default); reports
    // published before it still go out under the topic of their own device.
    void setMeta(const MqttMeta &meta);
    // One report: its time (ms since 1970) and its values after scripts. Cheap: the payload is
    // formed here and queued.
    void publishReport(qint64 msSinceEpoch, const QVector<MqttValue> &values);
    // A JSON answer to <topic>/answer (settings.qos, not retained); kept in order with nothing
    // else, and dropped when no connection exists.
    void publishAnswer(const QByteArray &json);

    // Delivers what waits (up to timeoutMs while connected), publishes "offline" (retained),
    // disconnects and ends the publishing thread. Blocks for at most about timeoutMs + 1 s.
    void stop(int timeoutMs = 3000);

    MqttState state() const;
    const MqttSettings &settings() const;
    // The topic in use (empty before the first setMeta when the topic is the default).
    QString topic() const;
    // Reports handed to the client library and reported written by it, since the start.
    qint64 deliveredReports() const;

signals:
    // The kind of state changed (connected, lost, refused ...); state() has the counts anytime.
    void stateChanged(const MqttState &state);
    // A request arrived on <topic>/command (only with settings.commands).
    void commandReceived(const QByteArray &payload);

private:
    // Emits what the worker's threads left for the publisher's own thread, in order. They
    // call it by name through the event queue and hand their news over under a lock of ours,
    // so that no data crosses threads inside a queued call's captures.
    Q_INVOKABLE void deliverNews();

    class Worker;
    std::unique_ptr<Worker> worker;
};

#endif // MQTTPUBLISHER_H

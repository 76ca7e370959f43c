#ifndef MQTTSTATE_H
#define MQTTSTATE_H

#include <QMetaType>
#include <QString>

// Where the publisher stands with its broker, as front ends tell it.
struct MqttState
{
    enum class Kind {
        Off,          // nothing to publish to (no "mqtt" object)
        Connecting,   // the first connection is being made
        Connected,    // connected to url
        Disconnected, // no connection since `since` (lost, refused by the network, not reachable)
        LoginRefused, // the broker refused the user name or password (or the client)
        UnknownHost,  // the broker's host name does not resolve
        NoAnswer,     // the broker's port takes the connection but never answers
    };

    Kind kind = Kind::Off;
    QString url;
    // When the connection was lost or the first attempt failed (ms since 1970); 0 while connected.
    qint64 since = 0;
    // Reports kept to be delivered once the broker is back.
    qint64 waiting = 0;
    // Reports dropped because more than the bound were waiting, since the start.
    qint64 dropped = 0;
    // The client library's own words on the last failure, when it gave any.
    QString detail;

    bool connected() const { return kind == Kind::Connected; }
    // Not delivered (yet, or ever): waiting + dropped.
    qint64 undelivered() const { return waiting + dropped; }
    // One line in English for tolvexctl's standard error:
    // "mqtt: connected to mqtt://broker:1883",
    // "mqtt: no connection to mqtt://broker:1883 since 2026-12-08T08:20:31Z (connection lost); 120 reports not delivered (0 dropped)".
    QString englishText() const;
    // Two states a front end tells apart (the kind and the url; not the counts).
    bool sameKindAs(const MqttState &other) const { return kind == other.kind && url == other.url; }
};

Q_DECLARE_METATYPE(MqttState)

#endif // MQTTSTATE_H

#ifndef REMOTECOMMANDLINK_H
#define REMOTECOMMANDLINK_H

class Configuration;
class DeviceLink;
class MqttPublisher;
class QObject;

// With "commands": true in the broker's settings, requests from the broker's command topic are
// sent to the device of link like the window sends them (and recorded when the link's session
// records), and answered through the publisher.
// What it makes belongs to owner. Nothing happens without the setting.
void answerRemoteCommands(DeviceLink &link, MqttPublisher &publisher, const Configuration &configuration,
                          QObject *owner);

#endif // REMOTECOMMANDLINK_H

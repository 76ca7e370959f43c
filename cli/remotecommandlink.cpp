#include "remotecommandlink.h"

#include "configuration.h"
#include "devicelink.h"
#include "devicesession.h"
#include "mqttpublisher.h"
#include "output.h"
#include "remotecommands.h"
#include "reportdecoder.h"
#include "reportlayout.h"

#include <memory>

void answerRemoteCommands(DeviceLink &link, MqttPublisher &publisher, const Configuration &configuration,
                          QObject *owner)
{
    if (!publisher.settings().commands)
        return;
    RemoteCommands::Exchange exchange;
    DeviceLink *device = &link;
    // A request sent during a recording is in it, as the operator's own are in the window's.
    exchange.queueRequest = [device](const QByteArray &request) {
        if (!device->queueRequest(request))
            return false;
        if (DeviceSession *session = device->deviceSession(); session && session->isRecording())
            session->recordRequest(request);
        return true;
    };
    exchange.withdrawRequest = [device] { device->withdrawRequest(); };
    auto *commands = new RemoteCommands(configuration, std::move(exchange), owner);
    QObject::connect(&publisher, &MqttPublisher::commandReceived, commands, &RemoteCommands::handleMessage);
    QObject::connect(commands, &RemoteCommands::answerReady, &publisher, &MqttPublisher::publishAnswer);
    // Without an id there is no one to answer: said here, as the window counts them in its status bar.
    QObject::connect(commands, &RemoteCommands::messageDropped, commands, [commands] {
        complain(QStringLiteral("mqtt: a message on the command topic that is no JSON object was dropped (%1 so far)")
                     .arg(commands->droppedMessages()));
    });

    // Answers are decoded as the window decodes them, by the description of their id byte.
    auto decoder = std::make_shared<ReportDecoder>(configuration.descriptions());
    QObject::connect(&link, &DeviceLink::report, commands, [commands, decoder](const QByteArray &report) {
        if (!commands->isWaiting() || report.size() <= ReportLayout::idByte)
            return;
        const int idByte = quint8(report.at(ReportLayout::idByte));
        QStringList values;
        if (idByte != 0 && decoder->decode(report, &values))
            commands->takeAnswer(idByte, values);
    });
}

#include "mqttstate.h"

#include <QDateTime>

QString MqttState::englishText() const
{
    const QString prefix = QStringLiteral("mqtt: ");
    switch (kind) {
    case Kind::Off:
        return prefix + QStringLiteral("not publishing");
    case Kind::Connecting:
        return prefix + QStringLiteral("connecting to %1").arg(url);
    case Kind::Connected:
        return prefix + QStringLiteral("connected to %1").arg(url);
    default:
        break;
    }
    QString reason;
    switch (kind) {
    case Kind::LoginRefused: reason = QStringLiteral("login refused"); break;
    case Kind::UnknownHost: reason = QStringLiteral("unknown host"); break;
    case Kind::NoAnswer: reason = QStringLiteral("no answer from the broker"); break;
    default: reason = detail.isEmpty() ? QStringLiteral("connection lost") : detail; break;
    }
    if (kind != Kind::Disconnected && !detail.isEmpty())
        reason += QStringLiteral(": ") + detail;
    const QString time = since > 0 ? QDateTime::fromMSecsSinceEpoch(since, Qt::UTC).toString(Qt::ISODate)
                                   : QStringLiteral("the start");
    return prefix + QStringLiteral("no connection to %1 since %2 (%3); %4 reports not delivered (%5 dropped)")
                        .arg(url, time, reason)
                        .arg(undelivered())
                        .arg(dropped);
}

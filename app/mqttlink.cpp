// The lab's broker: the values the window shows are published, its state is shown in the
// status bar, and (when the configuration allows it) commands from the broker are sent to the
// device like the operator's own.
#include "mainwindow.h"

#include "configuration.h"
#include "dataparser.h"
#include "devicesession.h"
#include "devicetag.h"
#include "mainwindowform.h"
#include "mqttpublisher.h"
#include "remotecommands.h"
#include "reportclock.h"
#include "usbhid.h"

#include <QDateTime>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>

#include <cmath>

namespace {
// How often the status bar's counts of undelivered reports are brought up to date.
constexpr int mqttStatusIntervalMs = 1000;
} // namespace

void MainWindow::readMqttSettings(const Configuration &configuration)
{
    // The "mqtt" object is read from the same document as the rest; its problems are
    // tolvexctl check-config's to name.
    QList<ConfigurationProblem> problems;
    const MqttSettings settings = MqttSettings::read(configuration.document(), configuration.path, &problems);
    if (!settings.enabled)
        return; // no broker: nothing of this exists
    // Connecting begins with the first device's description (setMeta): the window never
    // waits for the broker, here or later.
    publisher = new MqttPublisher(settings, this);
    if (!settings.commands)
        return;
    RemoteCommands::Exchange exchange;
    exchange.queueRequest = [this](const QByteArray &request) { return usb->queueRequest(request); };
    exchange.withdrawRequest = [this] { usb->withdrawRequest(); };
    exchange.operatorWaiting = [this] { return expectedAnswerId != -1; };
    remoteCommands = new RemoteCommands(configuration, std::move(exchange), this);
}

void MainWindow::connectMqtt()
{
    if (!publisher)
        return;

    // The values as the window shows them (after scripts), published from the parser thread
    // as they are decoded; publishReport only queues them, so decoding never waits.
    QVector<MqttValue> prototype;
    for (int i = 0; i < telemetry.inNames.size(); ++i) {
        MqttValue value;
        value.name = telemetry.inNames.at(i);
        value.view = telemetry.inViews.value(i);
        prototype.append(value);
    }
    // Reports are timed on the report clock; one reading of both clocks maps them to the wall
    // clock, as the session file does.
    const qint64 wallMs = QDateTime::currentMSecsSinceEpoch();
    const qint64 clockNs = monotonicNowNs();
    MqttPublisher *target = publisher;
    parser->setTelemetryListener([target, prototype, wallMs, clockNs](qint64 arrivedNs,
                                                                      const ReportDecoder::Fields &fields,
                                                                      const QStringList &texts) {
        QVector<MqttValue> values = prototype;
        const int count = qMin(values.size(), qMin(int(fields.size()), texts.size()));
        values.resize(count);
        for (int i = 0; i < count; ++i) {
            values[i].number = fields.at(i).value;
            values[i].text = texts.at(i);
        }
        const qint64 sinceMs = qint64(std::floor(double(arrivedNs - clockNs) / 1e6));
        target->publishReport(wallMs + sinceMs, values);
    });

    // What a dashboard labels itself with, for the device just opened.
    connect(session, &DeviceSession::openAttempted, this, [this](bool ok) {
        if (!ok)
            return;
        MqttMeta meta;
        meta.names = telemetry.inNames;
        meta.units = telemetry.inUnits;
        meta.views = telemetry.inViews;
        meta.product = session->product();
        meta.tag = deviceTag(session->product(), session->path());
        meta.version = QStringLiteral(TOLVEX_VERSION_TEXT);
        publisher->setMeta(meta);
    });

    mqttStatus = new QLabel(this);
    mqttStatus->setObjectName(QStringLiteral("lbMqttStatus"));
    form->statusBar->addPermanentWidget(mqttStatus);
    connect(publisher, &MqttPublisher::stateChanged, this, &MainWindow::showMqttState);
    // The counts change without a change of state.
    auto *statusTimer = new QTimer(this);
    connect(statusTimer, &QTimer::timeout, this, [this] { showMqttState(publisher->state()); });
    statusTimer->start(mqttStatusIntervalMs);
    showMqttState(publisher->state());

    if (!remoteCommands)
        return;
    connect(publisher, &MqttPublisher::commandReceived, remoteCommands, &RemoteCommands::handleMessage);
    connect(remoteCommands, &RemoteCommands::answerReady, publisher, &MqttPublisher::publishAnswer);
    // A remote request is shown and recorded like the operator's; its answer is echoed by
    // handleReport like any answer.
    connect(remoteCommands, &RemoteCommands::requestSent, this, [this](const QByteArray &request) {
        form->pte->appendPlainText(tr("Запрос по MQTT:"));
        form->pte->appendPlainText(QString::fromLatin1(request.toHex()));
        form->pte->appendPlainText(QString());
        session->recordRequest(request);
    });
}

void MainWindow::stopMqtt()
{
    if (!publisher)
        return;
    // Every report decoded is queued by now (the parser has ended): what the broker can take
    // is delivered, and "offline" said, within the publisher's bound.
    parser->setTelemetryListener(nullptr);
    publisher->stop();
}

void MainWindow::showMqttState(const MqttState &state)
{
    if (!mqttStatus)
        return;
    QString text;
    const QString since = QDateTime::fromMSecsSinceEpoch(state.since).toString(QStringLiteral("HH:mm:ss"));
    switch (state.kind) {
    case MqttState::Kind::Off:
        break;
    case MqttState::Kind::Connecting:
        text = tr("MQTT: подключение к %1...").arg(state.url);
        break;
    case MqttState::Kind::Connected:
        text = tr("MQTT: подключено к %1").arg(state.url);
        break;
    case MqttState::Kind::Disconnected:
        text = tr("MQTT: нет связи с %1 с %2").arg(state.url, since);
        break;
    case MqttState::Kind::LoginRefused:
        text = tr("MQTT: %1 не принял имя пользователя или пароль").arg(state.url);
        break;
    case MqttState::Kind::UnknownHost:
        text = tr("MQTT: узел %1 не найден").arg(state.url);
        break;
    case MqttState::Kind::NoAnswer:
        text = tr("MQTT: %1 не отвечает").arg(state.url);
        break;
    }
    if (!state.connected() && state.undelivered() > 0) {
        text += tr(", не доставлено отчётов: %1").arg(state.undelivered());
        if (state.dropped > 0)
            text += tr(" (потеряно: %1)").arg(state.dropped);
    }
    if (remoteCommands && remoteCommands->droppedMessages() > 0)
        text += tr(", непонятых команд: %1").arg(remoteCommands->droppedMessages());
    mqttStatus->setText(text);
    mqttStatus->setToolTip(state.detail);
}

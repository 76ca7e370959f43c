#include "remotecommands.h"

#include "fieldcodec.h"
#include "reportlayout.h"
#include "requestframe.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

const char *const RemoteCommands::timeoutError = "timeout";
const char *const RemoteCommands::busyError = "busy";
const char *const RemoteCommands::unknownCommandError = "unknown command";
const char *const RemoteCommands::unknownFieldError = "unknown field";
const char *const RemoteCommands::badValueError = "bad value";

namespace {

// The names an answer's values are published under: the "in" names of the description that
// decodes the answer's id byte (a later entry with the same id wins, as in the decoder), a
// repeated name with "#2", "#3", ... appended so that no value hides another.
QStringList answerNames(const Configuration &configuration, int idByte)
{
    QStringList names;
    for (const CommandDescription &description : configuration.descriptions()) {
        if (description.id == idByte)
            names = description.inNames;
    }
    QHash<QString, int> seen;
    for (QString &name : names) {
        const int count = ++seen[name];
        if (count > 1)
            name += QLatin1Char('#') + QString::number(count);
    }
    return names;
}


QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

RemoteCommands::RemoteCommands(const Configuration &configuration, Exchange exchange, QObject *parent)
    : QObject(parent), configuration(configuration), exchange(std::move(exchange)), timer(new QTimer(this))
{
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &RemoteCommands::timedOut);
}

RemoteCommands::~RemoteCommands()
{
    // A request still awaited when the front end goes is not written afterwards.
    if (isWaiting() && exchange.withdrawRequest)
        exchange.withdrawRequest();
}

const CommandDescription *RemoteCommands::findCommand(const QJsonValue &command) const
{
    if (command.isString())
        return configuration.findCommand(command.toString());
    if (command.isDouble()) {
        const double id = command.toDouble();
        // A whole number within the ids' range (checked before it is converted).
        if (!(id >= -2147483648.0 && id <= 2147483647.0) || id != double(int(id)))
            return nullptr;
        for (auto it = configuration.commands.crbegin(); it != configuration.commands.crend(); ++it) {
            if (it->id == int(id))
                return &*it;
        }
    }
    return nullptr;
}

void RemoteCommands::handleMessage(const QByteArray &payload)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        // No id can be read from it, so no requester could tell an answer was theirs.
        ++dropped;
        emit messageDropped();
        return;
    }
    const QJsonObject request = document.object();
    const bool hasId = request.contains(QLatin1String("id"));
    const QJsonValue id = request.value(QLatin1String("id"));

    const CommandDescription *command = findCommand(request.value(QLatin1String("command")));
    // A command whose id travels as id byte 0 would be answered by the next telemetry report.
    if (!command || ReportLayout::idByteOf(command->id) == 0) {
        answerError(id, hasId, unknownCommandError);
        return;
    }

    const QJsonValue values = request.value(QLatin1String("values"));
    if (!values.isUndefined() && !values.isNull() && !values.isObject()) {
        answerError(id, hasId, badValueError);
        return;
    }
    QList<QPair<QString, QString>> given;
    const QJsonObject fields = values.toObject();
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        if (!command->outNames.contains(it.key())) {
            answerError(id, hasId, unknownFieldError, it.key());
            return;
        }
        // Values are texts, as typed in the form: a number would leave its base in doubt.
        if (!it.value().isString()) {
            const int index = command->outNames.indexOf(it.key());
            answerError(id, hasId, badValueError, it.key(), RequestFrame::acceptedText(*command, index));
            return;
        }
        given.append({it.key(), it.value().toString()});
    }
    const QStringList texts = RequestFrame::textsWithDefaults(*command, given);
    QList<int> refused;
    const QByteArray report = RequestFrame::make(*command, texts, &refused);
    if (report.isEmpty()) {
        const int index = refused.value(0, -1);
        answerError(id, hasId, badValueError, command->outNames.value(index),
                    index >= 0 ? RequestFrame::acceptedText(*command, index) : QString());
        return;
    }

    // One request at a time, the operator's included; and the exchange thread may still hold
    // one given up on.
    if (isWaiting() || (exchange.operatorWaiting && exchange.operatorWaiting())
        || !exchange.queueRequest(report)) {
        answerError(id, hasId, busyError);
        return;
    }
    awaitedIdByte = quint8(report.at(ReportLayout::idByte));
    awaitedRequestId = id;
    awaitedHasId = hasId;
    awaitedCommand = command->name;
    awaitedNames = answerNames(configuration, awaitedIdByte);
    timer->start(answerTimeoutMs);
    emit requestSent(report);
}

bool RemoteCommands::takeAnswer(int idByte, const QStringList &values)
{
    if (!isWaiting() || idByte != awaitedIdByte)
        return false;
    timer->stop();
    awaitedIdByte = -1;
    QJsonObject answerValues;
    const int count = qMin(values.size(), awaitedNames.size());
    for (int i = 0; i < count; ++i)
        answerValues.insert(awaitedNames.at(i), values.at(i));
    QJsonObject answer;
    if (awaitedHasId)
        answer.insert(QStringLiteral("id"), awaitedRequestId);
    answer.insert(QStringLiteral("command"), awaitedCommand);
    answer.insert(QStringLiteral("values"), answerValues);
    emit answerReady(compact(answer));
    return true;
}

void RemoteCommands::timedOut()
{
    awaitedIdByte = -1;
    // Given up on here, the request must not reach a device later.
    exchange.withdrawRequest();
    answerError(awaitedRequestId, awaitedHasId, timeoutError);
}

void RemoteCommands::answerError(const QJsonValue &id, bool hasId, const char *error, const QString &field,
                                 const QString &accepted)
{
    QJsonObject answer;
    if (hasId)
        answer.insert(QStringLiteral("id"), id);
    answer.insert(QStringLiteral("error"), QLatin1String(error));
    if (!field.isEmpty())
        answer.insert(QStringLiteral("field"), field);
    if (!accepted.isEmpty())
        answer.insert(QStringLiteral("accepted"), accepted);
    emit answerReady(compact(answer));
}

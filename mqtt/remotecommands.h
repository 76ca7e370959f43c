#ifndef REMOTECOMMANDS_H
#define REMOTECOMMANDS_H

#include "configuration.h"

#include <QByteArray>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QTimer;

// Commands that arrive from the broker: a JSON request
//   {"command": <name or id>, "values": {"<field>": "<text as typed in the form>"}, "id": <anything>}
// is framed as the window frames the operator's request (a field not named takes its default,
// an empty text is 0), handed to the exchange thread and answered with the same "id" and the
// answer's values, or with an "error": "timeout", "busy", "unknown command", "unknown field" or
// "bad value". One request is outstanding at a time, whoever made it: the front end says when
// the operator's own is, and asks isWaiting() before sending one.
//
// Knows nothing of the broker: a front end hands it each message taken from the command topic
// and publishes what answerReady() gives on the answer topic. Lives on the thread of the front
// end's event loop; the answers it awaits are handed to it by the front end, decoded.
class RemoteCommands : public QObject
{
    Q_OBJECT

public:
    // How the request reaches the exchange thread (usbHID): queue it (false while the thread
    // still holds an earlier one) and give it up after a time-out.
    struct Exchange
    {
        std::function<bool(const QByteArray &request)> queueRequest;
        std::function<void()> withdrawRequest;
        // True while the operator's own request waits for its answer (may be empty).
        std::function<bool()> operatorWaiting;
    };

    RemoteCommands(const Configuration &configuration, Exchange exchange, QObject *parent = nullptr);
    ~RemoteCommands() override;

    // The operator's requests have the same time-out.
    static constexpr int answerTimeoutMs = 1000;

    // A remote request waits for its answer.
    bool isWaiting() const { return awaitedIdByte >= 0; }
    // Messages that were no JSON object, so that no id could be read to answer them: dropped.
    quint64 droppedMessages() const { return dropped; }

    // The error texts of an answer.
    static const char *const timeoutError;
    static const char *const busyError;
    static const char *const unknownCommandError;
    static const char *const unknownFieldError;
    static const char *const badValueError;

public slots:
    // One message from the command topic.
    void handleMessage(const QByteArray &payload);
    // A decoded answer (any report whose id byte is not 0), in the order read; true when it
    // was the one a remote request awaited, which it then answers.
    bool takeAnswer(int idByte, const QStringList &values);

signals:
    // The request was taken by the exchange thread: its 64 bytes (for the console and the
    // recording).
    void requestSent(const QByteArray &request);
    // The JSON text to publish on the answer topic.
    void answerReady(const QByteArray &payload);
    // A message that could not be answered was dropped (droppedMessages() counts it).
    void messageDropped();

private:
    void answerError(const QJsonValue &id, bool hasId, const char *error, const QString &field = QString(),
                     const QString &accepted = QString());
    void timedOut();
    // The configured command a request names by name or id, or null.
    const CommandDescription *findCommand(const QJsonValue &command) const;

    Configuration configuration;
    Exchange exchange;
    QTimer *timer;
    int awaitedIdByte = -1;
    QJsonValue awaitedRequestId;
    bool awaitedHasId = false;
    QString awaitedCommand;
    QStringList awaitedNames; // the answer's value names, made unique
    quint64 dropped = 0;
};

#endif // REMOTECOMMANDS_H

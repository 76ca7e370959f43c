#ifndef MOSQUITTOTESTING_H
#define MOSQUITTOTESTING_H

// What tests and benchmarks of the MQTT publisher share: Debian's mosquitto started on a free
// loopback port (with an optional configuration, password file and certificates), and a
// subscriber of their own that keeps every message it gets. Header only; link Paho's
// asynchronous client (tolvex_mqtt brings it) and Qt5::Network.

#include <MQTTAsync.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QVector>

#include <chrono>
#include <functional>
#include <mutex>

namespace MqttTesting {

// Runs the Qt events until condition holds or timeoutMs pass; whether it holds.
inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

// A TCP port nobody listens on at the moment, on 127.0.0.1.
inline quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// Runs a program to its end; its output on failure in *output.
inline bool runTool(const QString &program, const QStringList &arguments, QString *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool done = process.waitForFinished(30000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A CA, and a server certificate it signed for localhost and 127.0.0.1, made with openssl.
struct Certificates
{
    QString caFile, certFile, keyFile;

    // Writes them into folder; false (and *error) when openssl fails.
    bool make(const QString &folder, QString *error = nullptr)
    {
        const QDir dir(folder);
        caFile = dir.filePath(QStringLiteral("ca.crt"));
        certFile = dir.filePath(QStringLiteral("server.crt"));
        keyFile = dir.filePath(QStringLiteral("server.key"));
        const QString caKey = dir.filePath(QStringLiteral("ca.key"));
        const QString request = dir.filePath(QStringLiteral("server.csr"));
        const QString extensions = dir.filePath(QStringLiteral("server.ext"));
        QFile ext(extensions);
        if (!ext.open(QIODevice::WriteOnly))
            return false;
        ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n");
        ext.close();
        const QString openssl = QStringLiteral("openssl");
        return runTool(openssl, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                                 QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                                 QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=Tolvex test CA"),
                                 QStringLiteral("-keyout"), caKey, QStringLiteral("-out"), caFile},
                       error)
               && runTool(openssl, {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                                    QStringLiteral("-nodes"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                                    QStringLiteral("-keyout"), keyFile, QStringLiteral("-out"), request},
                          error)
               && runTool(openssl, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request,
                                    QStringLiteral("-CA"), caFile, QStringLiteral("-CAkey"), caKey,
                                    QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"),
                                    QStringLiteral("-extfile"), extensions, QStringLiteral("-out"), certFile},
                          error);
    }
};

// Debian's mosquitto on 127.0.0.1 and a port of its own, with a configuration file written by
// the test. Stopped (SIGTERM) when it goes.
class Broker
{
public:
    Broker() = default;
    Broker(const Broker &) = delete;
    Broker &operator=(const Broker &) = delete;
    ~Broker() { stop(); }

    // Lines added to the listener's configuration (password_file, cafile ...). Without
    // passwordFile() anonymous clients are taken.
    void setExtraConfig(const QString &lines) { extra = lines; }
    // Makes a password file with one user (mosquitto_passwd) that the broker will ask for.
    bool setPassword(const QString &user, const QString &password, QString *error = nullptr)
    {
        const QString file = folder.filePath(QStringLiteral("passwords"));
        QFile::remove(file);
        if (!runTool(QStringLiteral("mosquitto_passwd"), {QStringLiteral("-b"), QStringLiteral("-c"), file, user, password},
                     error))
            return false;
        passwords = file;
        return true;
    }
    // TLS on the listener with these certificates.
    void setTls(const Certificates &certificates) { tls = certificates; }
    // Sessions and their queued messages (QoS 0 ones too) kept across a restart, so that a
    // subscriber with keepSession misses nothing while it and the program reconnect.
    void setPersistent(bool keep) { persistent = keep; }

    // Starts it and waits until it listens; false (and *error) when it does not.
    bool start(QString *error = nullptr)
    {
        if (!folder.isValid())
            return false;
        if (brokerPort == 0)
            brokerPort = freePort();
        // Started by root, mosquitto would become the user "mosquitto", which cannot read the
        // test's private folder.
        QString config = QStringLiteral("listener %1 127.0.0.1\nuser root\nlog_type error\nlog_type warning\n")
                             .arg(brokerPort);
        if (persistent)
            config += QStringLiteral("persistence true\npersistence_location %1/\nqueue_qos0_messages true\n"
                                     "max_queued_messages 1000000\n")
                          .arg(folder.path());
        else
            config += QStringLiteral("persistence false\n");
        if (passwords.isEmpty())
            config += QStringLiteral("allow_anonymous true\n");
        else
            config += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(passwords);
        if (!tls.certFile.isEmpty())
            config += QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n").arg(tls.caFile, tls.certFile, tls.keyFile);
        config += extra;
        const QString configFile = folder.filePath(QStringLiteral("mosquitto.conf"));
        QFile file(configFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        file.write(config.toUtf8());
        file.close();

        process.setProcessChannelMode(QProcess::MergedChannels);
        QString program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        if (program.isEmpty())
            program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")});
        process.start(program, {QStringLiteral("-c"), configFile});
        if (!process.waitForStarted(5000)) {
            if (error)
                *error = QStringLiteral("mosquitto does not start: ") + process.errorString();
            return false;
        }
        const bool listening = waitUntil(
            [this] {
                if (process.state() != QProcess::Running)
                    return true;
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, brokerPort);
                return probe.waitForConnected(200);
            },
            10000);
        if (!listening || process.state() != QProcess::Running) {
            if (error)
                *error = QStringLiteral("mosquitto does not listen on %1: %2")
                             .arg(brokerPort)
                             .arg(QString::fromLocal8Bit(process.readAll()));
            return false;
        }
        return true;
    }
    // SIGTERM, and waits for its end.
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // SIGKILL: no goodbye to its clients.
    void kill()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    // Again on the same port with the same configuration.
    bool restart(QString *error = nullptr)
    {
        stop();
        return start(error);
    }

    bool running() const { return process.state() == QProcess::Running; }
    quint16 port() const { return brokerPort; }
    QString url() const
    {
        return QStringLiteral("%1://%2:%3")
            .arg(tls.certFile.isEmpty() ? QStringLiteral("mqtt") : QStringLiteral("mqtts"),
                 tls.certFile.isEmpty() ? QStringLiteral("127.0.0.1") : QStringLiteral("localhost"))
            .arg(brokerPort);
    }
    // The broker's folder (configuration, password file); a test may keep its own files there.
    QString path() const { return folder.path(); }
    QByteArray output() { return process.readAll(); }

private:
    QTemporaryDir folder;
    QProcess process;
    quint16 brokerPort = 0;
    QString extra;
    QString passwords;
    Certificates tls;
    bool persistent = false;
};

// One message a subscriber got.
struct Message
{
    QByteArray topic;
    QByteArray payload;
    bool retained = false;
    qint64 receivedNs = 0; // steady clock, as Subscriber::now()
};

// A Paho client of the test's own, subscribed to one filter; keeps every message.
class Subscriber
{
public:
    Subscriber() = default;
    Subscriber(const Subscriber &) = delete;
    Subscriber &operator=(const Subscriber &) = delete;
    ~Subscriber() { close(); }

    static qint64 now()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // Connects to url (tcp://, ssl:// or mqtt://, mqtts://) and subscribes to filter; true once
    // the subscription is granted. ca: the CA file for TLS. keepSession: a session the broker
    // keeps (subscribe with qos 1 then), and reconnection by itself when the broker comes back.
    bool subscribe(const QString &url, const QString &filter, int qos = 0, const QString &ca = QString(),
                   const QString &user = QString(), const QString &password = QString(), bool keepSession = false)
    {
        QString uri = url;
        uri.replace(QStringLiteral("mqtts://"), QStringLiteral("ssl://"));
        uri.replace(QStringLiteral("mqtt://"), QStringLiteral("tcp://"));
        const QByteArray uriBytes = uri.toUtf8();
        const QByteArray id = QByteArray("tolvex-test-") + QByteArray::number(QRandomGenerator::global()->generate());
        MQTTAsync_createOptions createOptions = MQTTAsync_createOptions_initializer;
        createOptions.MQTTVersion = MQTTVERSION_3_1_1;
        if (MQTTAsync_createWithOptions(&client, uriBytes.constData(), id.constData(), MQTTCLIENT_PERSISTENCE_NONE,
                                        nullptr, &createOptions)
            != MQTTASYNC_SUCCESS)
            return false;
        MQTTAsync_setCallbacks(client, this, nullptr, &Subscriber::arrived, nullptr);
        MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
        options.MQTTVersion = MQTTVERSION_3_1_1;
        options.cleansession = keepSession ? 0 : 1;
        options.automaticReconnect = keepSession ? 1 : 0;
        options.minRetryInterval = 1;
        options.maxRetryInterval = 1;
        options.keepAliveInterval = 20;
        options.connectTimeout = 5;
        options.onSuccess = [](void *context, MQTTAsync_successData *) {
            static_cast<Subscriber *>(context)->setStep(1);
        };
        options.onFailure = [](void *context, MQTTAsync_failureData *) {
            static_cast<Subscriber *>(context)->setStep(-1);
        };
        options.context = this;
        MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
        const QByteArray caBytes = ca.toUtf8();
        if (!ca.isEmpty())
            ssl.trustStore = caBytes.constData();
        if (uri.startsWith(QLatin1String("ssl://")))
            options.ssl = &ssl;
        const QByteArray userBytes = user.toUtf8();
        const QByteArray passwordBytes = password.toUtf8();
        if (!user.isEmpty())
            options.username = userBytes.constData();
        if (!password.isEmpty())
            options.password = passwordBytes.constData();
        if (MQTTAsync_connect(client, &options) != MQTTASYNC_SUCCESS)
            return false;
        if (!waitUntil([this] { return getStep() != 0; }, 10000) || getStep() != 1)
            return false;
        setStep(0);
        MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
        response.onSuccess = [](void *context, MQTTAsync_successData *) { static_cast<Subscriber *>(context)->setStep(2); };
        response.onFailure = [](void *context, MQTTAsync_failureData *) { static_cast<Subscriber *>(context)->setStep(-1); };
        response.context = this;
        const QByteArray filterBytes = filter.toUtf8();
        if (MQTTAsync_subscribe(client, filterBytes.constData(), qos, &response) != MQTTASYNC_SUCCESS)
            return false;
        return waitUntil([this] { return getStep() != 0; }, 10000) && getStep() == 2;
    }

    // Publishes one message (a command to the program, a retained status to clear ...).
    bool publish(const QString &topic, const QByteArray &payload, int qos = 1, bool retained = false)
    {
        MQTTAsync_message message = MQTTAsync_message_initializer;
        message.payload = const_cast<char *>(payload.constData());
        message.payloadlen = payload.size();
        message.qos = qos;
        message.retained = retained ? 1 : 0;
        const QByteArray topicBytes = topic.toUtf8();
        return client && MQTTAsync_sendMessage(client, topicBytes.constData(), &message, nullptr) == MQTTASYNC_SUCCESS;
    }

    void close()
    {
        if (!client)
            return;
        MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
        options.timeout = 200;
        MQTTAsync_disconnect(client, &options);
        QThread::msleep(50);
        MQTTAsync_destroy(&client);
        client = nullptr;
    }

    QVector<Message> messages() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return received;
    }
    // The messages of topics ending with suffix ("/telemetry").
    QVector<Message> messages(const QByteArray &suffix) const
    {
        std::lock_guard<std::mutex> guard(lock);
        QVector<Message> some;
        for (const Message &message : received) {
            if (message.topic.endsWith(suffix))
                some << message;
        }
        return some;
    }
    int count(const QByteArray &suffix) const
    {
        std::lock_guard<std::mutex> guard(lock);
        int found = 0;
        for (const Message &message : received)
            found += message.topic.endsWith(suffix) ? 1 : 0;
        return found;
    }
    void clear()
    {
        std::lock_guard<std::mutex> guard(lock);
        received.clear();
    }
    // Waits until a message of a topic ending with suffix has this payload.
    bool waitFor(const QByteArray &suffix, const QByteArray &payload, int timeoutMs)
    {
        return waitUntil(
            [&] {
                for (const Message &message : messages(suffix)) {
                    if (message.payload == payload)
                        return true;
                }
                return false;
            },
            timeoutMs);
    }

private:
    static int arrived(void *context, char *topicName, int topicLength, MQTTAsync_message *message)
    {
        auto *self = static_cast<Subscriber *>(context);
        Message got;
        got.receivedNs = now();
        got.topic = topicLength > 0 ? QByteArray(topicName, topicLength) : QByteArray(topicName);
        got.payload = QByteArray(static_cast<const char *>(message->payload), message->payloadlen);
        got.retained = message->retained != 0;
        MQTTAsync_freeMessage(&message);
        MQTTAsync_free(topicName);
        std::lock_guard<std::mutex> guard(self->lock);
        self->received.push_back(std::move(got));
        return 1;
    }
    void setStep(int value)
    {
        std::lock_guard<std::mutex> guard(lock);
        step = value;
    }
    int getStep() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return step;
    }

    MQTTAsync client = nullptr;
    mutable std::mutex lock;
    QVector<Message> received;
    int step = 0;
};

} // namespace MqttTesting

#endif // MOSQUITTOTESTING_H

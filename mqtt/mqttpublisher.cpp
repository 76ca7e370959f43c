#include "mqttpublisher.h"

#include <MQTTAsync.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QHostInfo>
#include <QSysInfo>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Messages handed to the client library and not yet reported written; more wait in our queue,
// where the bound and the count of what is dropped apply. The library's cost per message grows
// with the messages it holds: at 24,000 reports/s a window of 500 delivered more than 2,000 or
// 8,000 did (bench_mqtt, on a busy machine).
constexpr int sendWindow = 500;
// Influx lines batched into one message up to about this many bytes.
constexpr int influxBatchBytes = 32 * 1024;
constexpr int keepAliveSeconds = 10;
constexpr int connectTimeoutSeconds = 5;

// CONNACK return codes of MQTT 3.1.1 that refuse the client itself.
bool isLoginRefusal(int code)
{
    return code == 2 || code == 4 || code == 5;
}

} // namespace

class MqttPublisher::Worker
{
public:
    // A change of state or a command, for the publisher's own thread.
    struct News
    {
        bool isState = false;
        MqttState state;
        QByteArray command;
    };

    // A report waiting to be handed over, with the telemetry topic of the device it came from
    // (empty: the topic of the first connection). A report goes out under its own device's
    // topic, also when another device's topic is in use by the time it can be sent.
    struct Queued
    {
        QByteArray text;
        QByteArray topic;
    };

    struct Generation;

    // A telemetry message handed to the client library: its text, its topic and the reports it
    // holds. The library's report on it names it (its callbacks' context).
    struct Flight
    {
        enum class Outcome { Pending, Written, GivenUp };
        Generation *generation = nullptr;
        QByteArray message;
        QByteArray topic;
        int reports = 1;
        Outcome outcome = Outcome::Pending;
    };

    // One connection's messages in flight, in the order they were handed over; they are settled
    // in that order, whatever the order of the library's reports on them. A lost connection
    // leaves its generation behind: it no longer holds up the next connection's sending (and
    // goes once nothing of it is in flight any more). What the library
    // gives up when the connection goes (never written, or not acknowledged at QoS 1) is kept
    // in failed and put back at the front of the queue before anything is sent again, so that
    // it goes out on the next connection, in order; given up later than that, it is dropped
    // and counted (sent again then, it would come after newer reports).
    struct Generation
    {
        Worker *worker = nullptr;
        std::list<Flight> inFlight; // stable addresses: the callbacks' contexts
        std::deque<Flight> failed;
        bool reclaimed = false;
    };

    Worker(MqttPublisher *owner, const MqttSettings &settings) : owner(owner), settings(settings)
    {
        bound = std::max(1, settings.bufferReports);
        current.url = settings.url;
        current.kind = settings.enabled ? MqttState::Kind::Connecting : MqttState::Kind::Off;
        if (settings.format == MqttSettings::Format::Influx)
            payload.setInfluxTags(QSysInfo::machineHostName(), QString());
    }

    ~Worker() { stop(0); }

    // --- any thread -----------------------------------------------------------------------

    void setMeta(const MqttMeta &newMeta)
    {
        if (!settings.enabled)
            return;
        {
            std::lock_guard<std::mutex> formatting(formatLock);
            if (settings.format == MqttSettings::Format::Influx)
                payload.setInfluxTags(QSysInfo::machineHostName(), newMeta.tag);
        }
        std::lock_guard<std::mutex> guard(lock);
        if (stopping)
            return;
        meta = newMeta;
        metaChanged = true;
        const QString newTopic = settings.topicFor(meta.tag);
        if (newTopic != wantedTopic) {
            wantedTopic = newTopic;
            wantedTelemetryTopic = newTopic.toUtf8() + "/telemetry";
            topicChanged = true;
        }
        if (!thread) {
            thread = QThread::create([this] { run(); });
            thread->setObjectName(QStringLiteral("mqtt publisher"));
            thread->start();
        }
        wake.notify_one();
    }

    void publishReport(qint64 ms, const QVector<MqttValue> &values)
    {
        if (!settings.enabled)
            return;
        QByteArray text;
        {
            std::lock_guard<std::mutex> formatting(formatLock);
            text = settings.format == MqttSettings::Format::Influx ? payload.influx(ms, values)
                                                                   : payload.json(ms, values);
        }
        if (text.isEmpty())
            return;
        std::lock_guard<std::mutex> guard(lock);
        if (stopping)
            return;
        if (int(reports.size()) >= bound) {
            reports.pop_front();
            ++dropped;
        }
        reports.push_back(Queued{std::move(text), wantedTelemetryTopic});
        if (senderWaiting && connected) {
            senderWaiting = false;
            wake.notify_one();
        }
    }

    void publishAnswer(const QByteArray &json)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!settings.enabled || !connected || stopping)
            return;
        answers.push_back(json);
        wake.notify_one();
    }

    MqttState state() const
    {
        std::lock_guard<std::mutex> guard(lock);
        MqttState state = current;
        state.waiting = qint64(reports.size());
        state.dropped = dropped;
        return state;
    }

    const MqttSettings &settingsInUse() const { return settings; }

    // Leaves news for the publisher's thread; the first of a batch asks that thread to come.
    void post(News news)
    {
        std::lock_guard<std::mutex> guard(newsLock);
        news_.push_back(std::move(news));
        if (news_.size() == 1)
            QMetaObject::invokeMethod(owner, "deliverNews", Qt::QueuedConnection);
    }

    std::vector<News> takeNews()
    {
        std::lock_guard<std::mutex> guard(newsLock);
        std::vector<News> taken;
        taken.swap(news_);
        return taken;
    }

    QString topic() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return activeTopic;
    }

    qint64 deliveredReports() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return delivered;
    }

    void stop(int timeoutMs)
    {
        {
            std::unique_lock<std::mutex> guard(lock);
            if (stopRequested)
                return;
            stopRequested = true;
            drainDeadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
            wake.notify_one();
        }
        if (thread) {
            thread->wait();
            delete thread;
            thread = nullptr;
        }
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }

    // --- the client library's threads ------------------------------------------------------

    static void onConnected(void *context, char *)
    {
        static_cast<Worker *>(context)->connectedNow();
    }
    static void onConnectSuccess(void *context, MQTTAsync_successData *)
    {
        static_cast<Worker *>(context)->connectedNow();
    }
    static void onConnectFailure(void *context, MQTTAsync_failureData *response)
    {
        auto *worker = static_cast<Worker *>(context);
        std::lock_guard<std::mutex> guard(worker->lock);
        worker->attempting = false;
        worker->failedAttempt();
        worker->connectFailed = true;
        worker->failureCode = response ? response->code : MQTTASYNC_FAILURE;
        worker->failureMessage = response && response->message ? QString::fromUtf8(response->message) : QString();
        worker->wake.notify_one();
    }
    static void onConnectionLost(void *context, char *)
    {
        auto *worker = static_cast<Worker *>(context);
        std::lock_guard<std::mutex> guard(worker->lock);
        worker->lostNow(QString());
    }
    static int onMessage(void *context, char *topicName, int topicLength, MQTTAsync_message *message)
    {
        auto *worker = static_cast<Worker *>(context);
        const QByteArray topic = topicLength > 0 ? QByteArray(topicName, topicLength) : QByteArray(topicName);
        const QByteArray body(static_cast<const char *>(message->payload), message->payloadlen);
        MQTTAsync_freeMessage(&message);
        MQTTAsync_free(topicName);
        if (worker->settings.commands && topic == worker->commandTopicBytes()) {
            News news;
            news.command = body;
            worker->post(std::move(news));
        }
        return 1;
    }
    static void onSent(void *context, MQTTAsync_successData *)
    {
        auto *flight = static_cast<Flight *>(context);
        flight->generation->worker->sent(flight, true);
    }
    static void onSendFailed(void *context, MQTTAsync_failureData *)
    {
        auto *flight = static_cast<Flight *>(context);
        flight->generation->worker->sent(flight, false);
    }
    static void onDisconnected(void *context, MQTTAsync_successData *)
    {
        auto *worker = static_cast<Worker *>(context);
        std::lock_guard<std::mutex> guard(worker->lock);
        worker->disconnectDone = true;
        worker->wake.notify_one();
    }
    static void onDisconnectFailed(void *context, MQTTAsync_failureData *)
    {
        onDisconnected(context, nullptr);
    }
    static void onOfflineWritten(void *context, MQTTAsync_successData *)
    {
        auto *worker = static_cast<Worker *>(context);
        std::lock_guard<std::mutex> guard(worker->lock);
        worker->offlineDone = true;
        worker->wake.notify_one();
    }
    static void onOfflineFailed(void *context, MQTTAsync_failureData *)
    {
        onOfflineWritten(context, nullptr);
    }

private:
    void connectedNow()
    {
        std::lock_guard<std::mutex> guard(lock);
        if (connected || !client)
            return;
        attempting = false;
        connected = true;
        justConnected = true;
        generations.push_back(std::make_unique<Generation>());
        generations.back()->worker = this;
        setKind(MqttState::Kind::Connected, QString());
        current.since = 0;
        wake.notify_one();
    }

    // With lock held.
    void lostNow(const QString &detail)
    {
        if (!connected)
            return;
        connected = false;
        clientLost = true;
        attempting = false;
        nextAttempt = Clock::now(); // at once: a broker that restarted quickly is taken again
        current.since = QDateTime::currentMSecsSinceEpoch();
        setKind(MqttState::Kind::Disconnected, detail);
        wake.notify_one();
    }

    // The library's report on one message. Messages are settled in the order they were handed
    // over: one reported early (at QoS 1 the message being written when the socket fails is
    // given up before older ones still waiting for their acknowledgement) waits for those.
    void sent(Flight *reported, bool written)
    {
        std::lock_guard<std::mutex> guard(lock);
        Generation *generation = reported->generation;
        reported->outcome = written ? Flight::Outcome::Written : Flight::Outcome::GivenUp;
        while (!generation->inFlight.empty() && generation->inFlight.front().outcome != Flight::Outcome::Pending) {
            Flight &flight = generation->inFlight.front();
            if (flight.outcome == Flight::Outcome::Written) {
                delivered += flight.reports;
                // Given up before one that was written, a message cannot be sent again in order.
                for (const Flight &given : generation->failed)
                    dropped += given.reports;
                generation->failed.clear();
            } else if (!generation->reclaimed) {
                generation->failed.push_back(std::move(flight));
            } else {
                dropped += flight.reports;
            }
            generation->inFlight.pop_front();
        }
        if (senderWaiting && !generations.empty() && generation == generations.back().get()) {
            senderWaiting = false;
            wake.notify_one();
        }
    }

    void setKind(MqttState::Kind kind, const QString &detail)
    {
        const bool changed = kind != current.kind || detail != current.detail;
        current.kind = kind;
        current.detail = detail;
        if (!changed)
            return;
        News news;
        news.isState = true;
        news.state = current;
        news.state.waiting = qint64(reports.size());
        news.state.dropped = dropped;
        post(std::move(news));
    }

    QByteArray commandTopicBytes() const
    {
        std::lock_guard<std::mutex> guard(topicLock);
        return commandTopic;
    }

    // --- the publishing thread -------------------------------------------------------------

    void run()
    {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            if (clientLost && !stopRequested) {
                // The client library keeps the messages it had not yet written for its next
                // connection, and would send them there first, before those it gave up with
                // the connection. A client of its own for the next connection has the library
                // give them all up now, in the order they were handed over. (Stopping, the
                // client is closed anyway.)
                clientLost = false;
                const QString topic = activeTopic;
                guard.unlock();
                closeClient(false);
                openClient(topic);
                guard.lock();
            }
            // Every message the library gave up with a connection has been reported by the
            // time it counts as lost, or its client is closed (on this thread).
            if (!connected)
                reclaimFailed();
            if (stopRequested && finishing(guard))
                break;
            if (topicChanged) {
                topicChanged = false;
                const QString topic = wantedTopic;
                guard.unlock();
                closeClient(true);
                openClient(topic);
                guard.lock();
            }
            if (connectFailed) {
                connectFailed = false;
                const int code = failureCode;
                const QString message = failureMessage;
                guard.unlock();
                const MqttState::Kind kind = classifyFailure(code, message);
                guard.lock();
                if (!connected) {
                    if (current.since == 0)
                        current.since = QDateTime::currentMSecsSinceEpoch();
                    setKind(kind, kind == MqttState::Kind::Disconnected ? message : QString());
                }
            }
            if (client && !connected && !attempting && !stopRequested && Clock::now() >= nextAttempt) {
                attempt(guard);
                continue;
            }
            if (connected && justConnected) {
                justConnected = false;
                guard.unlock();
                announce();
                guard.lock();
                continue;
            }
            if (connected && metaChanged) {
                metaChanged = false;
                const QByteArray metaJson = MqttPayload::metaJson(meta);
                guard.unlock();
                send(metaTopic, metaJson, 1, true, nullptr);
                guard.lock();
                continue;
            }
            if (connected && !answers.empty()) {
                const QByteArray answer = std::move(answers.front());
                answers.pop_front();
                guard.unlock();
                send(answerTopic, answer, settings.qos, false, nullptr);
                guard.lock();
                continue;
            }
            if (connected && !reports.empty() && int(generations.back()->inFlight.size()) < sendWindow) {
                sendReports(guard);
                continue;
            }
            // Reports and written messages wake the thread only while it waits here.
            senderWaiting = true;
            if (stopRequested)
                wake.wait_until(guard, std::min(drainDeadline, Clock::now() + std::chrono::milliseconds(20)));
            else if (client && !connected && !attempting)
                wake.wait_until(guard, nextAttempt);
            else
                wake.wait(guard);
            senderWaiting = false;
        }
    }

    // Hands waiting reports over while the window allows, a few dozen messages per taking of
    // the lock. Called and returns with lock held.
    void sendReports(std::unique_lock<std::mutex> &guard)
    {
        constexpr int batch = 64;
        Generation *generation = generations.back().get();
        const bool influx = settings.format == MqttSettings::Format::Influx;
        QByteArray messages[batch];
        QByteArray topics[batch];
        Flight *flights[batch];
        while (connected && !reports.empty() && !topicChanged && !justConnected
               && int(generation->inFlight.size()) < sendWindow) {
            int taken = 0;
            while (taken < batch && !reports.empty() && int(generation->inFlight.size()) < sendWindow) {
                QByteArray message = std::move(reports.front().text);
                QByteArray topic = std::move(reports.front().topic);
                reports.pop_front();
                int count = 1;
                if (influx) {
                    while (!reports.empty() && reports.front().topic == topic
                           && message.size() + reports.front().text.size() < influxBatchBytes) {
                        message += '\n';
                        message += reports.front().text;
                        reports.pop_front();
                        ++count;
                    }
                }
                Flight flight;
                flight.generation = generation;
                flight.message = message;
                flight.topic = topic;
                flight.reports = count;
                generation->inFlight.push_back(std::move(flight));
                flights[taken] = &generation->inFlight.back();
                messages[taken] = std::move(message);
                topics[taken] = std::move(topic);
                ++taken;
            }
            guard.unlock();
            int handed = 0;
            while (handed < taken
                   && send(topics[handed].isEmpty() ? telemetryTopic : topics[handed], messages[handed], settings.qos,
                           false, flights[handed]))
                ++handed;
            guard.lock();
            if (handed == taken)
                continue;
            // Not taken (the connection went meanwhile): back to the front, in order. What the
            // library took and gave up comes back before these, once the connection counts as lost.
            for (int i = handed; i < taken; ++i) {
                if (!generation->inFlight.empty())
                    generation->inFlight.pop_back();
            }
            for (int i = taken - 1; i >= handed; --i)
                putBack(messages[i], topics[i]);
            keepBound();
            break;
        }
    }

    // What waits is delivered while the deadline allows; then "offline", and the client goes.
    // Returns true when the thread may end. Called and returns with lock held.
    bool finishing(std::unique_lock<std::mutex> &guard)
    {
        const bool drained = reports.empty() && answers.empty()
                             && (generations.empty() || generations.back()->inFlight.empty());
        // A first connection still being made is waited for too: a short run's reports go out.
        const bool firstAttempt = !connected && current.kind == MqttState::Kind::Connecting && client && !connectFailed
                                  && (attempting || attemptsMade == 0);
        if (firstAttempt && Clock::now() < drainDeadline) {
            if (!attempting)
                attempt(guard);
            else
                wake.wait_until(guard, drainDeadline);
            return false;
        }
        if (connected && !drained && Clock::now() < drainDeadline) {
            if (justConnected || metaChanged || !answers.empty() || reports.empty()
                || int(generations.back()->inFlight.size()) >= sendWindow)
                wake.wait_until(guard, std::min(drainDeadline, Clock::now() + std::chrono::milliseconds(20)));
            if (!reports.empty() && connected && !justConnected
                && int(generations.back()->inFlight.size()) < sendWindow)
                sendReports(guard);
            return false;
        }
        guard.unlock();
        closeClient(false);
        guard.lock();
        // Given up by the library at the end: not delivered, and waiting like the rest.
        reclaimFailed();
        return true;
    }

    // A message back at the front of the queue (influx lines one by one, as they were queued).
    // With lock held.
    void putBack(const QByteArray &message, const QByteArray &topic)
    {
        if (settings.format == MqttSettings::Format::Influx) {
            const QList<QByteArray> lines = message.split('\n');
            for (int k = lines.size() - 1; k >= 0; --k)
                reports.push_front(Queued{lines.at(k), topic});
        } else {
            reports.push_front(Queued{message, topic});
        }
    }

    // Beyond the bound the oldest go, counted. With lock held.
    void keepBound()
    {
        while (int(reports.size()) > bound) {
            reports.pop_front();
            ++dropped;
        }
    }

    // What the library gave up with finished connections goes back to the front of the queue,
    // oldest first; later give-ups of those connections are dropped and counted. Should the
    // library still hold a message of a finished connection (it may send it on the next one,
    // first), what it gave up of that connection and older ones is dropped and counted instead:
    // sent again, it would come after that newer message. With lock held.
    void reclaimFailed()
    {
        bool any = false;
        for (auto generation = generations.rbegin(); generation != generations.rend(); ++generation) {
            Generation &finished = **generation;
            if (finished.reclaimed)
                break; // and so are all before it
            finished.reclaimed = true;
            for (auto flight = finished.failed.rbegin(); flight != finished.failed.rend(); ++flight) {
                if (finished.inFlight.empty() && !any)
                    putBack(flight->message, flight->topic);
                else
                    dropped += flight->reports;
            }
            // An older connection's messages cannot go before a newer one's left in the library.
            any = any || !finished.inFlight.empty();
            finished.failed.clear();
        }
        keepBound();
        // Settled and put back: nothing of theirs will be reported any more.
        generations.erase(std::remove_if(generations.begin(), generations.end(),
                                         [](const std::unique_ptr<Generation> &generation) {
                                             return generation->reclaimed && generation->inFlight.empty();
                                         }),
                          generations.end());
    }

    void openClient(const QString &topic)
    {
        const QByteArray base = topic.toUtf8();
        {
            std::lock_guard<std::mutex> guard(topicLock);
            telemetryTopic = base + "/telemetry";
            metaTopic = base + "/meta";
            statusTopic = base + "/status";
            answerTopic = base + "/answer";
            commandTopic = base + "/command";
        }
        {
            std::lock_guard<std::mutex> guard(lock);
            activeTopic = topic;
        }
        const QByteArray uri = settings.serverUri().toUtf8();
        const QByteArray clientId =
            (settings.clientId.isEmpty() ? QStringLiteral("tolvex-%1-%2")
                                               .arg(QSysInfo::machineHostName())
                                               .arg(QCoreApplication::applicationPid())
                                         : settings.clientId)
                .toUtf8();
        MQTTAsync_createOptions createOptions = MQTTAsync_createOptions_initializer;
        createOptions.MQTTVersion = MQTTVERSION_3_1_1;
        createOptions.maxBufferedMessages = sendWindow * 4;
        MQTTAsync handle = nullptr;
        if (MQTTAsync_createWithOptions(&handle, uri.constData(), clientId.constData(), MQTTCLIENT_PERSISTENCE_NONE,
                                        nullptr, &createOptions)
            != MQTTASYNC_SUCCESS) {
            std::lock_guard<std::mutex> guard(lock);
            current.since = QDateTime::currentMSecsSinceEpoch();
            setKind(MqttState::Kind::Disconnected, QStringLiteral("the client could not be made for %1").arg(settings.url));
            return;
        }
        MQTTAsync_setCallbacks(handle, this, &Worker::onConnectionLost, &Worker::onMessage, nullptr);
        MQTTAsync_setConnected(handle, this, &Worker::onConnected);

        static const char offline[] = "offline";
        will = MQTTAsync_willOptions_initializer;
        will.topicName = statusTopic.constData();
        will.message = nullptr;
        will.payload.data = offline;
        will.payload.len = int(sizeof offline - 1);
        will.retained = 1;
        will.qos = 1;

        ssl = MQTTAsync_SSLOptions_initializer;
        caBytes = settings.ca.toUtf8();
        if (!caBytes.isEmpty())
            ssl.trustStore = caBytes.constData();
        ssl.enableServerCertAuth = 1;
        ssl.verify = 1;

        usernameBytes = settings.username.toUtf8();
        passwordBytes = settings.password.toUtf8();
        connectOptions = MQTTAsync_connectOptions_initializer;
        connectOptions.keepAliveInterval = keepAliveSeconds;
        connectOptions.cleansession = 1;
        connectOptions.connectTimeout = connectTimeoutSeconds;
        connectOptions.MQTTVersion = MQTTVERSION_3_1_1;
        // The client library's own reconnection looks at its timers every 3 s or so; ours tries
        // again 1 s after each failure, so a broker that is back is used within about 1.5 s.
        connectOptions.automaticReconnect = 0;
        connectOptions.will = &will;
        if (settings.isTls())
            connectOptions.ssl = &ssl;
        if (!usernameBytes.isEmpty())
            connectOptions.username = usernameBytes.constData();
        if (!passwordBytes.isEmpty())
            connectOptions.password = passwordBytes.constData();
        connectOptions.onSuccess = &Worker::onConnectSuccess;
        connectOptions.onFailure = &Worker::onConnectFailure;
        connectOptions.context = this;
        std::lock_guard<std::mutex> guard(lock);
        client = handle;
        nextAttempt = Clock::now();
        attempting = false;
    }

    // Starts a connection attempt. Called and returns with lock held.
    void attempt(std::unique_lock<std::mutex> &guard)
    {
        attempting = true;
        ++attemptsMade;
        MQTTAsync handle = client;
        guard.unlock();
        const int result = MQTTAsync_connect(handle, &connectOptions);
        guard.lock();
        if (result != MQTTASYNC_SUCCESS) {
            attempting = false;
            failedAttempt();
            if (current.since == 0)
                current.since = QDateTime::currentMSecsSinceEpoch();
            setKind(MqttState::Kind::Disconnected, QStringLiteral("the connection could not be started (%1)").arg(result));
        }
    }

    // The next attempt after a failed one, 1 s later: a refused attempt costs the broker's host a
    // refused connection, and a broker that is back is used within about 1.5 s. With lock held.
    void failedAttempt()
    {
        nextAttempt = Clock::now() + std::chrono::milliseconds(1000);
    }

    // Says "offline" (when connected and clean), disconnects and destroys the client.
    void closeClient(bool keepState)
    {
        MQTTAsync handle;
        bool wasConnected;
        {
            std::lock_guard<std::mutex> guard(lock);
            handle = client;
            wasConnected = connected;
            offlineDone = false;
            disconnectDone = false;
        }
        if (!handle)
            return;
        const auto deadline = Clock::now() + std::chrono::seconds(1);
        if (wasConnected) {
            static const char offline[] = "offline";
            MQTTAsync_message message = MQTTAsync_message_initializer;
            message.payload = const_cast<char *>(offline);
            message.payloadlen = int(sizeof offline - 1);
            message.qos = 1;
            message.retained = 1;
            MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
            response.onSuccess = &Worker::onOfflineWritten;
            response.onFailure = &Worker::onOfflineFailed;
            response.context = this;
            if (MQTTAsync_sendMessage(handle, statusTopic.constData(), &message, &response) == MQTTASYNC_SUCCESS) {
                std::unique_lock<std::mutex> guard(lock);
                wake.wait_until(guard, deadline, [this] { return offlineDone || !connected; });
            }
        }
        MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
        options.timeout = 500;
        options.onSuccess = &Worker::onDisconnected;
        options.onFailure = &Worker::onDisconnectFailed;
        options.context = this;
        if (MQTTAsync_disconnect(handle, &options) == MQTTASYNC_SUCCESS) {
            std::unique_lock<std::mutex> guard(lock);
            wake.wait_until(guard, deadline + std::chrono::milliseconds(500), [this] { return disconnectDone; });
        }
        {
            std::lock_guard<std::mutex> guard(lock);
            client = nullptr;
            connected = false;
            justConnected = false;
            if (keepState)
                current.since = 0;
        }
        MQTTAsync_destroy(&handle);
    }

    // On each connection: "online", the meta document and the command subscription.
    void announce()
    {
        MqttMeta metaNow;
        {
            std::lock_guard<std::mutex> guard(lock);
            metaNow = meta;
            metaChanged = false;
        }
        send(statusTopic, QByteArrayLiteral("online"), 1, true, nullptr);
        send(metaTopic, MqttPayload::metaJson(metaNow), 1, true, nullptr);
        if (settings.commands) {
            MQTTAsync handle;
            {
                std::lock_guard<std::mutex> guard(lock);
                handle = client;
            }
            MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
            if (handle)
                MQTTAsync_subscribe(handle, commandTopic.constData(), 1, &response);
        }
    }

    // Hands one message to the client library; false when it does not take it. A telemetry
    // message's flight hears how it went.
    bool send(const QByteArray &topic, const QByteArray &body, int qos, bool retained, Flight *flight)
    {
        MQTTAsync handle;
        {
            std::lock_guard<std::mutex> guard(lock);
            handle = client;
        }
        if (!handle)
            return false;
        MQTTAsync_message message = MQTTAsync_message_initializer;
        message.payload = const_cast<char *>(body.constData());
        message.payloadlen = body.size();
        message.qos = qos;
        message.retained = retained ? 1 : 0;
        MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
        if (flight) {
            response.onSuccess = &Worker::onSent;
            response.onFailure = &Worker::onSendFailed;
            response.context = flight;
        }
        return MQTTAsync_sendMessage(handle, topic.constData(), &message, &response) == MQTTASYNC_SUCCESS;
    }

    // What a failed connection attempt means for the operator.
    MqttState::Kind classifyFailure(int code, const QString &message) const
    {
        if (isLoginRefusal(code))
            return MqttState::Kind::LoginRefused;
        const QString host = QUrl(settings.url).host();
        if (code != MQTTASYNC_SUCCESS && !host.isEmpty()) {
            const QHostInfo info = QHostInfo::fromName(host);
            if (info.error() == QHostInfo::HostNotFound || info.addresses().isEmpty())
                return MqttState::Kind::UnknownHost;
        }
        if (code == 3) // server unavailable
            return MqttState::Kind::Disconnected;
        if (message.contains(QLatin1String("timeout"), Qt::CaseInsensitive))
            return MqttState::Kind::NoAnswer;
        return MqttState::Kind::Disconnected;
    }

    MqttPublisher *const owner;
    std::mutex newsLock;
    std::vector<News> news_;
    const MqttSettings settings;
    int bound = MqttSettings::defaultBufferReports;

    std::mutex formatLock;
    MqttPayload payload;

    mutable std::mutex topicLock;
    QByteArray telemetryTopic, metaTopic, statusTopic, answerTopic, commandTopic;

    mutable std::mutex lock;
    std::condition_variable wake;
    QThread *thread = nullptr;
    MQTTAsync client = nullptr;
    std::deque<Queued> reports;
    std::deque<QByteArray> answers;
    std::deque<std::unique_ptr<Generation>> generations;
    MqttMeta meta;
    QString wantedTopic;
    QByteArray wantedTelemetryTopic;
    QString activeTopic;
    MqttState current;
    qint64 dropped = 0;
    qint64 delivered = 0;
    bool metaChanged = false;
    bool topicChanged = false;
    bool connected = false;
    bool clientLost = false;
    bool justConnected = false;
    bool connectFailed = false;
    int failureCode = 0;
    QString failureMessage;
    bool offlineDone = false;
    bool disconnectDone = false;
    bool stopRequested = false;
    bool stopping = false;
    bool senderWaiting = false;
    bool attempting = false;
    int attemptsMade = 0;
    Clock::time_point nextAttempt;
    // The connection's options, kept for every attempt (the client library reads them then).
    MQTTAsync_connectOptions connectOptions = MQTTAsync_connectOptions_initializer;
    MQTTAsync_willOptions will = MQTTAsync_willOptions_initializer;
    MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
    QByteArray caBytes, usernameBytes, passwordBytes;
    Clock::time_point drainDeadline;
};

MqttPublisher::MqttPublisher(const MqttSettings &settings, QObject *parent)
    : QObject(parent), worker(std::make_unique<Worker>(this, settings))
{
    qRegisterMetaType<MqttState>();
}

MqttPublisher::~MqttPublisher()
{
    stop();
}

void MqttPublisher::setMeta(const MqttMeta &meta)
{
    worker->setMeta(meta);
}

void MqttPublisher::publishReport(qint64 msSinceEpoch, const QVector<MqttValue> &values)
{
    worker->publishReport(msSinceEpoch, values);
}

void MqttPublisher::publishAnswer(const QByteArray &json)
{
    worker->publishAnswer(json);
}

void MqttPublisher::stop(int timeoutMs)
{
    worker->stop(timeoutMs);
}

MqttState MqttPublisher::state() const
{
    return worker->state();
}

QString MqttPublisher::topic() const
{
    return worker->topic();
}

qint64 MqttPublisher::deliveredReports() const
{
    return worker->deliveredReports();
}

const MqttSettings &MqttPublisher::settings() const
{
    return worker->settingsInUse();
}

void MqttPublisher::deliverNews()
{
    for (const Worker::News &news : worker->takeNews()) {
        if (news.isState)
            emit stateChanged(news.state);
        else
            emit commandReceived(news.command);
    }
}

// The MQTT publisher against Debian's mosquitto on loopback, with a subscriber in the same
// process (Paho, as the tests have it):
//   mqtt.publish_reports_per_s  the highest rate (stepping up from 6,000 reports/s) at which the
//                               subscriber gets every report of a 3 s run, in order
//   mqtt.latency_p99_ms         from the hand-over of a decoded report (publishReport) to the
//                               subscriber having it, at 1,000 reports/s for 5 s
//   mqtt.latency_p50_ms         the same run's median, which a busy machine moves less
//   mqtt.reconnect_s            from the broker listening again (after 5 s away) to the
//                               publisher connected, the longest of three
//   mqtt.lost_while_connected   reports missing at the subscriber in the latency run and the
//                               24,000 reports/s run, which stay connected throughout
//   mqtt.host_load_1min         the machine's load while measuring
// Reports carry 16 numbers (a sequence number first), as a full telemetry report of the
// benchmark configuration does.

#include "mosquittotesting.h"
#include "mqttpublisher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace MqttTesting;

namespace {

constexpr int valueCount = 16;

MqttMeta benchMeta()
{
    MqttMeta meta;
    for (int i = 0; i < valueCount; ++i) {
        meta.names << (i == 0 ? QStringLiteral("seq") : QStringLiteral("value%1").arg(i));
        meta.units << QStringLiteral("V");
        meta.views << ViewNum;
    }
    meta.product = QStringLiteral("bench");
    meta.tag = QStringLiteral("bench");
    meta.version = QStringLiteral("bench");
    return meta;
}

QVector<MqttValue> values()
{
    QVector<MqttValue> values(valueCount);
    const MqttMeta meta = benchMeta();
    for (int i = 0; i < valueCount; ++i)
        values[i].name = meta.names.at(i);
    return values;
}

int seqOf(const QByteArray &payload)
{
    // {"ts":...,"values":{"seq":N,... where N is a JSON number as the publisher writes it, the
    // shortest form that reads back exactly: 100000 is "1e+05".
    const int at = payload.indexOf("\"seq\":");
    if (at < 0)
        return -1;
    return int(std::strtod(payload.constData() + at + 6, nullptr));
}

struct RunResult
{
    qint64 sent = 0;
    qint64 received = 0;
    qint64 dropped = 0; // by the publisher's bound
    // Reports that came after a later one (or again): how many, and the first few as
    // "newest so far <- this one". A report missing (dropped) is no break of the order.
    qint64 reorders = 0;
    QStringList firstReorders;
    bool inOrder() const { return reorders == 0; }
    std::vector<double> latenciesMs;
};

// Publishes at rate for seconds, then waits for the subscriber to stop getting more.
RunResult publishAt(Broker &broker, int rate, double seconds, const QString &topic)
{
    RunResult result;
    Subscriber subscriber;
    if (!subscriber.subscribe(broker.url(), topic + QStringLiteral("/telemetry")))
        return result;
    MqttSettings settings = MqttSettings::fromUrl(broker.url(), nullptr);
    settings.topic = topic;
    MqttPublisher publisher(settings);
    publisher.setMeta(benchMeta());
    if (!waitUntil([&] { return publisher.state().connected(); }, 10000))
        return result;

    QVector<MqttValue> report = values();
    const qint64 total = qint64(rate * seconds);
    std::vector<qint64> sentNs(size_t(total), 0);
    QElapsedTimer clock;
    clock.start();
    while (result.sent < total) {
        const qint64 due = std::min<qint64>(total, clock.nsecsElapsed() * rate / 1000000000);
        while (result.sent < due) {
            report[0].number = double(result.sent);
            for (int i = 1; i < valueCount; ++i)
                report[i].number = 1000.0 * i + double(result.sent % 997) / 7.0;
            sentNs[size_t(result.sent)] = Subscriber::now();
            publisher.publishReport(QDateTime::currentMSecsSinceEpoch(), report);
            ++result.sent;
        }
        QThread::usleep(200);
    }
    // Until everything is there, or nothing more came for 1.5 s.
    qint64 last = -1;
    QElapsedTimer idle;
    idle.start();
    for (;;) {
        const qint64 now = subscriber.count("/telemetry");
        if (now == total)
            break;
        if (now != last) {
            last = now;
            idle.restart();
        } else if (idle.elapsed() > 1500) {
            break;
        }
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    const QVector<Message> got = subscriber.messages("/telemetry");
    result.received = got.size();
    result.dropped = publisher.state().dropped;
    int newest = -1;
    for (const Message &message : got) {
        const int seq = seqOf(message.payload);
        if (seq <= newest) {
            if (result.firstReorders.size() < 5)
                result.firstReorders << QStringLiteral("%1 <- %2").arg(newest).arg(seq);
            ++result.reorders;
        }
        newest = std::max(newest, seq);
        if (seq >= 0 && seq < total)
            result.latenciesMs.push_back(double(message.receivedNs - sentNs[size_t(seq)]) / 1e6);
    }
    return result;
}

double reconnectSeconds(Broker &broker)
{
    MqttSettings settings = MqttSettings::fromUrl(broker.url(), nullptr);
    settings.topic = QStringLiteral("bench/reconnect");
    MqttPublisher publisher(settings);
    publisher.setMeta(benchMeta());
    if (!waitUntil([&] { return publisher.state().connected(); }, 10000))
        return -1;
    broker.stop();
    waitUntil([&] { return !publisher.state().connected(); }, 5000);
    QThread::sleep(5);
    if (!broker.start())
        return -1;
    QElapsedTimer clock;
    clock.start();
    if (!waitUntil([&] { return publisher.state().connected(); }, 30000))
        return -1;
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Broker broker;
    // mosquitto drops QoS 0 messages to a subscriber more than 1,000 behind; the figures are
    // the publisher's, so the benchmark's own subscriber is given room.
    broker.setExtraConfig(QStringLiteral("max_queued_messages 1000000\n"));
    QString error;
    if (!broker.start(&error)) {
        std::fprintf(stderr, "bench_mqtt: %s\n", qPrintable(error));
        return 1;
    }

    int sustained = 0;
    int previous = 0;
    qint64 lost = 0;
    for (const int rate : {6000, 12000, 24000, 36000, 48000}) {
        const RunResult run = publishAt(broker, rate, 3, QStringLiteral("bench/rate%1").arg(rate));
        std::fprintf(stderr, "bench_mqtt: %d/s: %lld sent, %lld received (%lld dropped by the bound)%s\n", rate,
                     run.sent, run.received, run.dropped, run.inOrder() ? "" : ", out of order");
        if (!run.inOrder())
            std::fprintf(stderr, "bench_mqtt: %d/s: %lld reports after a later one, the first: %s\n", rate,
                         run.reorders, qPrintable(run.firstReorders.join(QStringLiteral(", "))));
        if (rate == 24000)
            lost += run.sent - run.received;
        // The 24,000 reports/s run is made whatever came before: lost_while_connected counts it.
        const bool kept = run.sent > 0 && run.received == run.sent && run.inOrder();
        if (kept && sustained == previous)
            sustained = rate;
        previous = rate;
        if (!kept && rate >= 24000)
            break;
    }

    RunResult paced = publishAt(broker, 1000, 5, QStringLiteral("bench/latency"));
    lost += paced.sent - paced.received;
    std::sort(paced.latenciesMs.begin(), paced.latenciesMs.end());
    const double p99 = paced.latenciesMs.empty()
                           ? -1
                           : paced.latenciesMs[std::min(paced.latenciesMs.size() - 1,
                                                        size_t(double(paced.latenciesMs.size()) * 0.99))];

    double reconnect = 0;
    for (int i = 0; i < 3; ++i) {
        const double seconds = reconnectSeconds(broker);
        std::fprintf(stderr, "bench_mqtt: reconnected after %.2f s\n", seconds);
        reconnect = seconds < 0 ? seconds : std::max(reconnect, seconds);
        if (seconds < 0)
            break;
    }

    std::printf("mqtt.publish_reports_per_s: %d reports/s\n", sustained);
    std::printf("mqtt.latency_p99_ms: %.2f ms\n", p99);
    if (!paced.latenciesMs.empty())
        std::printf("mqtt.latency_p50_ms: %.2f ms\n", paced.latenciesMs[paced.latenciesMs.size() / 2]);
    std::printf("mqtt.reconnect_s: %.2f s\n", reconnect);
    std::printf("mqtt.lost_while_connected: %lld reports\n", lost);
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        std::printf("mqtt.host_load_1min: %.2f runnable\n", load[0]);
    return 0;
}

// The window under load while it publishes every report to a broker (Debian's mosquitto on a
// loopback port, with a subscriber taking the telemetry):
//   mqtt.soak_max_tick_ms            the longest event the GUI thread handled, at 24,000 reports/s
//   mqtt.soak_max_tick_cpu_ms        the most CPU time the GUI thread spent on one event
//   mqtt.soak_reports_per_s          telemetry reports sent per second
//   mqtt.soak_undelivered_reports    reports sent less those the publisher delivered to the broker
//                                    (those it dropped beyond its bound among them)
//   mqtt.soak_host_load_1min         the machine's 1-minute load
// bench_mqttsoak [SECONDS] (default 20, at least 6).
#include "dataparser.h"
#include "mainwindow.h"
#include "mosquittotesting.h"
#include "mqttpublisher.h"
#include "simconfig.h"
#include "simplatform.h"
#include "telemetrygenerator.h"
#include "timedapplication.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using bench::print;


} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::TimedApplication app(argc, argv);
    const QString sourceConfig = SimConfig::besideExecutable();
    const SimConfig config = SimConfig::read(sourceConfig);
    if (config.telemetry.inTypes.isEmpty()) {
        std::fprintf(stderr, "bench_mqttsoak: no telemetry in %s\n", qPrintable(sourceConfig));
        return 1;
    }
    QTemporaryDir workDir; // log files, session file and the configuration with the broker
    QDir::setCurrent(workDir.path());

    MqttTesting::Broker broker;
    QString error;
    if (!broker.start(&error)) {
        std::fprintf(stderr, "bench_mqttsoak: %s\n", qPrintable(error));
        return 1;
    }
    // A subscriber of the telemetry, so that the broker passes every report on.
    QProcess subscriber;
    subscriber.setStandardOutputFile(QProcess::nullDevice());
    subscriber.setStandardErrorFile(QProcess::nullDevice());
    subscriber.start(QStringLiteral("mosquitto_sub"),
                     {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                      QString::number(broker.port()), QStringLiteral("-t"), QStringLiteral("bench/soak/telemetry")});
    subscriber.waitForStarted(5000);

    QFile source(sourceConfig);
    source.open(QIODevice::ReadOnly);
    QJsonObject root = QJsonDocument::fromJson(source.readAll()).object();
    root.insert(QStringLiteral("mqtt"),
                QJsonObject{{"url", broker.url()}, {"topic", "bench/soak"}, {"commands", true}});
    const QString configPath = QDir::current().filePath(QStringLiteral("mqttsoak.json"));
    QFile written(configPath);
    written.open(QIODevice::WriteOnly);
    written.write(QJsonDocument(root).toJson());
    written.close();

    SimPlatform sim;
    auto device = sim.plug(QStringLiteral("MQTT soak probe"));
    auto generator = std::make_unique<TelemetryGenerator>(device, config.telemetry);
    WindowOptions options;
    options.configPath = configPath;
    auto window = std::make_unique<MainWindow>(options, &sim);
    window->show();
    auto *publisher = window->findChild<MqttPublisher *>();
    if (!publisher) {
        std::fprintf(stderr, "bench_mqttsoak: the window made no publisher\n");
        return 1;
    }
    QElapsedTimer connecting;
    connecting.start();
    while (!publisher->state().connected() && connecting.elapsed() < 10000)
        bench::runFor(50);

    const int soakRate = 24000;
    const int soakMs = argc > 1 ? std::max(6, QByteArray(argv[1]).toInt()) * 1000 : 20000;
    const qint64 deliveredBefore = publisher->deliveredReports();
    generator->setRate(soakRate);
    app.measuring = true;
    QElapsedTimer clock;
    clock.start();
    bench::runFor(soakMs);
    generator->setRate(0);
    const double elapsed = double(clock.elapsed()) / 1000.0;
    const quint64 sent = generator->reportsSent();
    // What was sent is decoded and handed over before the publisher is asked what it delivered.
    QElapsedTimer drain;
    drain.start();
    while (drain.elapsed() < 30000
           && (publisher->deliveredReports() - deliveredBefore + publisher->state().dropped < qint64(sent)
               || device->pendingReports() > 0
               || window->reportBacklog() > 0))
        bench::runFor(50);
    app.measuring = false;
    const MqttState state = publisher->state();
    std::fprintf(stderr, "bench_mqttsoak: after %.1f s of draining: %d reports not yet decoded, %lld waiting in the "
                 "publisher, %lld dropped beyond its bound\n",
                 double(drain.elapsed()) / 1000.0, window->reportBacklog(), state.waiting, state.dropped);

    print("mqtt.soak_max_tick_ms", app.longestTickMs, "ms");
    print("mqtt.soak_max_tick_cpu_ms", app.longestTickCpuMs, "ms");
    std::fprintf(stderr, "bench_mqttsoak: longest tick: %s\n", qPrintable(app.longestTickWhat));
    print("mqtt.soak_reports_per_s", double(sent) / elapsed, "reports/s");
    print("mqtt.soak_undelivered_reports", double(qint64(sent) - (publisher->deliveredReports() - deliveredBefore)),
          "reports");
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        print("mqtt.soak_host_load_1min", load[0], "runnable");

    generator.reset();
    window.reset();
    subscriber.terminate();
    subscriber.waitForFinished(3000);
    return 0;
}

// tolvexctl publishing what it decodes, as its users run it: the built executable on its
// simulated device, a mosquitto of the test's own and a subscriber.
#include "mosquittotesting.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace MqttTesting;

namespace {

// Numbers with a script, a hex view, a script that gives nan (published as null) and a string.
QByteArray configText(const QByteArray &mqtt)
{
    QByteArray text = R"({
  "settings": { "maxPlotXPoints": 10, "maxConsoleLines": 10 },
  "commands": [
    { "name": "Telemetry", "id": 0, "in": [
        { "name": "counter", "type": "uint32", "script": "x * 0.5" },
        { "name": "count", "type": "uint16", "view": "hex", "units": "n" },
        { "name": "broken", "type": "uint8", "script": "undefined" },
        { "name": "level", "type": "float", "units": "mV" } ] }
  ])";
    if (!mqtt.isEmpty())
        text += ",\n  \"mqtt\": " + mqtt;
    return text + "\n}\n";
}

struct Run
{
    int status = -1;
    QStringList lines;
    QString errors;
};

} // namespace

class TestMqttCtl : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString writeConfig(const QString &name, const QByteArray &mqtt)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(configText(mqtt));
        return path;
    }

    Run run(const QString &config, const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(TOLVEXCTL), QStringList{QStringLiteral("--config"), config} + arguments);
        Run result;
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        result.errors = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

private slots:
    // Every report of a run arrives, in order, with the time and values watch printed; meta
    // and status are retained, and a clean end leaves "offline".
    void watchPublishesEveryReport()
    {
        Broker broker;
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("tolvex/#")));
        const Run watch = run(writeConfig(QStringLiteral("plain.json"), QByteArray()),
                              {QStringLiteral("--sim"), QStringLiteral("rate=1000"), QStringLiteral("watch"),
                               QStringLiteral("--format"), QStringLiteral("jsonl"), QStringLiteral("--count"),
                               QStringLiteral("2000"), QStringLiteral("--mqtt"), broker.url()});
        QCOMPARE(watch.status, 0);
        QCOMPARE(watch.lines.size(), 2000);
        QVERIFY2(watch.errors.contains(QLatin1String("mqtt: connected to ") + broker.url()), qPrintable(watch.errors));
        QVERIFY(waitUntil([&] { return subscriber.count("/telemetry") >= 2000; }, 10000));
        const QVector<Message> telemetry = subscriber.messages("/telemetry");
        QCOMPARE(telemetry.size(), 2000);
        for (int i = 0; i < telemetry.size(); ++i) {
            const QJsonObject printed = QJsonDocument::fromJson(watch.lines.at(i).toUtf8()).object();
            const QJsonObject published = QJsonDocument::fromJson(telemetry.at(i).payload).object();
            const qint64 ms = QDateTime::fromString(printed.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs)
                                  .toMSecsSinceEpoch();
            QCOMPARE(qRound64(published.value(QStringLiteral("ts")).toDouble() * 1000), ms);
            const QJsonObject texts = printed.value(QStringLiteral("values")).toObject();
            const QJsonObject values = published.value(QStringLiteral("values")).toObject();
            QCOMPARE(values.keys(), texts.keys());
            for (const QString &key : values.keys()) {
                const QJsonValue value = values.value(key);
                const QString shown = value.isDouble() ? QString::number(value.toDouble(), 'g', 6)
                                      : value.isNull() ? QStringLiteral("nan")
                                                       : value.toString();
                QCOMPARE(shown, texts.value(key).toString());
            }
            QVERIFY(values.value(QStringLiteral("count")).isString());
            QVERIFY(values.value(QStringLiteral("broken")).isNull());
        }
        QVERIFY(subscriber.waitFor("/status", "offline", 5000));

        Subscriber later;
        QVERIFY(later.subscribe(broker.url(), QStringLiteral("tolvex/#")));
        QVERIFY(waitUntil([&] { return later.count("/meta") == 1 && later.count("/status") == 1; }, 5000));
        const Message meta = later.messages("/meta").first();
        QVERIFY(meta.retained);
        QVERIFY(meta.topic.startsWith("tolvex/"));
        const QJsonObject document = QJsonDocument::fromJson(meta.payload).object();
        QCOMPARE(document.value(QStringLiteral("product")).toString(), QStringLiteral("Tolvex demo"));
        QCOMPARE(document.value(QStringLiteral("values")).toArray().size(), 4);
        QCOMPARE(document.value(QStringLiteral("values")).toArray().at(1).toObject().value(QStringLiteral("view")).toString(),
                 QStringLiteral("hex"));
        QVERIFY(later.messages("/status").first().retained);
        QCOMPARE(later.messages("/status").first().payload, QByteArray("offline"));
    }

    // The configuration's "mqtt" object with "format": "influx": the lines published are
    // those watch --format influx prints.
    void influxLinesAsPrinted()
    {
        Broker broker;
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("lab/bench7/#")));
        const QString config = writeConfig(
            QStringLiteral("influx.json"),
            QStringLiteral(R"({"url": "%1", "topic": "lab/bench7", "format": "influx"})").arg(broker.url()).toUtf8());
        const Run watch = run(config, {QStringLiteral("--sim"), QStringLiteral("rate=1000"), QStringLiteral("watch"),
                                       QStringLiteral("--format"), QStringLiteral("influx"), QStringLiteral("--count"),
                                       QStringLiteral("500")});
        QCOMPARE(watch.status, 0);
        QCOMPARE(watch.lines.size(), 500);
        QVERIFY(watch.lines.first().startsWith(QLatin1String("tolvex,host=")));
        QVERIFY(!watch.lines.first().contains(QLatin1String("broken=")));
        QStringList published;
        QVERIFY(waitUntil(
            [&] {
                published.clear();
                for (const Message &message : subscriber.messages("/telemetry"))
                    published += QString::fromUtf8(message.payload).split(QLatin1Char('\n'));
                return published.size() >= 500;
            },
            10000));
        QCOMPARE(published, watch.lines);
    }

    // record publishes what it records, decoded.
    void recordPublishesToo()
    {
        Broker broker;
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("tolvex/#")));
        const Run record = run(writeConfig(QStringLiteral("record.json"), QByteArray()),
                               {QStringLiteral("--sim"), QStringLiteral("rate=1000"), QStringLiteral("record"),
                                dir.filePath(QStringLiteral("run.rec")), QStringLiteral("--count"),
                                QStringLiteral("300"), QStringLiteral("--mqtt"), broker.url()});
        QCOMPARE(record.status, 0);
        QVERIFY(waitUntil([&] { return subscriber.count("/telemetry") >= 300; }, 10000));
        QCOMPARE(subscriber.count("/telemetry"), 300);
        const QJsonObject last = QJsonDocument::fromJson(subscriber.messages("/telemetry").last().payload).object();
        QCOMPARE(last.value(QStringLiteral("values")).toObject().value(QStringLiteral("counter")).toDouble(), 299 * 0.5);
    }

    // kill -9: the broker says "offline" for the program, by its last will.
    void killedProgramGoesOfflineByItsWill()
    {
        Broker broker;
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("tolvex/#")));
        QProcess watch;
        watch.start(QStringLiteral(TOLVEXCTL), {QStringLiteral("--config"), writeConfig(QStringLiteral("kill.json"), {}),
                                                QStringLiteral("--simulate"), QStringLiteral("watch"),
                                                QStringLiteral("--duration"), QStringLiteral("60"),
                                                QStringLiteral("--mqtt"), broker.url()});
        QVERIFY(subscriber.waitFor("/status", "online", 10000));
        QVERIFY(waitUntil([&] { return subscriber.count("/telemetry") > 10; }, 10000));
        watch.kill();
        QVERIFY(watch.waitForFinished(5000));
        QVERIFY(subscriber.waitFor("/status", "offline", 5000));
    }

    // A broker that accepts the connection and never answers: the run is the same as without
    // it (status, every line), and standard error says what became of the reports.
    void silentBrokerChangesNothing()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const QString config = writeConfig(QStringLiteral("silent.json"), QByteArray());
        const QStringList arguments{QStringLiteral("--sim"), QStringLiteral("rate=500"), QStringLiteral("watch"),
                                    QStringLiteral("--format"), QStringLiteral("jsonl"), QStringLiteral("--count"),
                                    QStringLiteral("3500")};
        const Run without = run(config, arguments);
        QCOMPARE(without.status, 0);
        const Run with = run(config, arguments + QStringList{QStringLiteral("--mqtt"),
                                                             QStringLiteral("mqtt://127.0.0.1:%1").arg(silent.serverPort())});
        QCOMPARE(with.status, without.status);
        QCOMPARE(with.lines.size(), without.lines.size());
        auto values = [](const QString &line) {
            return QJsonDocument::fromJson(line.toUtf8()).object().value(QStringLiteral("values")).toObject();
        };
        for (int i = 0; i < with.lines.size(); ++i)
            QCOMPARE(values(with.lines.at(i)), values(without.lines.at(i)));
        QVERIFY2(with.errors.contains(QLatin1String("no answer from the broker")), qPrintable(with.errors));
        QVERIFY2(with.errors.contains(QLatin1String("3500 reports not delivered")), qPrintable(with.errors));
    }
};

QTEST_GUILESS_MAIN(TestMqttCtl)
#include "tst_mqttctl.moc"

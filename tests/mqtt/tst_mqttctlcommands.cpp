// tolvexctl watch and record answer commands from the broker too: the built executable on its
// simulated device, which echoes request values into the answer; record keeps the request.
#include "mosquittotesting.h"
#include "recordingreader.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace MqttTesting;

class TestMqttCtlCommands : public QObject
{
    Q_OBJECT

private slots:
    void commandsAnswered_data()
    {
        QTest::addColumn<QString>("subcommand");
        QTest::newRow("watch") << QStringLiteral("watch");
        QTest::newRow("record") << QStringLiteral("record");
    }

    void commandsAnswered()
    {
        QFETCH(QString, subcommand);
        Broker broker;
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        Subscriber client;
        QVERIFY(client.subscribe(broker.url(), QStringLiteral("bench/9/answer"), 1));

        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("commands.json"));
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"({
  "commands": [
    {"id": 0, "in": [{"name": "count", "type": "uint16"}]},
    {"id": 5, "name": "Set threshold",
     "out": [{"name": "threshold", "type": "uint16", "view": "hex", "default": "1F"}],
     "in":  [{"name": "threshold", "type": "uint16", "view": "hex"}]}
  ],
  "mqtt": {"url": "%1", "topic": "bench/9", "commands": true}
})").arg(broker.url()).toUtf8());
        file.close();

        const QString recording = dir.filePath(QStringLiteral("session.tlvx"));
        QStringList arguments{QStringLiteral("--config"), config, QStringLiteral("--sim"), QStringLiteral("rate=50"),
                              subcommand};
        if (subcommand == QLatin1String("record"))
            arguments << recording;
        QProcess watch;
        watch.setStandardOutputFile(QProcess::nullDevice());
        watch.start(QStringLiteral(TOLVEXCTL), arguments << QStringLiteral("--duration") << QStringLiteral("60"));
        QVERIFY(watch.waitForStarted());

        // Asked until its subscription is granted and it answers.
        QJsonObject answer;
        for (int attempt = 0; attempt < 50 && answer.isEmpty(); ++attempt) {
            QVERIFY(client.publish(QStringLiteral("bench/9/command"),
                                   QStringLiteral(R"({"command": "Set threshold", "values": {"threshold": "2A"}, "id": %1})")
                                       .arg(attempt)
                                       .toUtf8()));
            waitUntil([&] { return client.count("/answer") > 0; }, 300);
            if (client.count("/answer") > 0)
                answer = QJsonDocument::fromJson(client.messages("/answer").first().payload).object();
        }
        QVERIFY2(!answer.isEmpty(), watch.readAllStandardError().constData());
        QVERIFY(answer.value(QStringLiteral("id")).isDouble());
        QCOMPARE(answer.value(QStringLiteral("values")).toObject(), (QJsonObject{{"threshold", "2a"}}));

        watch.terminate();
        QVERIFY(watch.waitForFinished(10000));
        QVERIFY2(watch.exitCode() == 0, watch.readAllStandardError().constData());
        if (subcommand != QLatin1String("record"))
            return;
        // Every request asked is in the recording (the last may have been refused as busy).
        RecordingReader reader;
        QVERIFY2(reader.open(recording), qPrintable(reader.errorString()));
        int requests = 0;
        RecordingReader::Record entry;
        while (reader.next(entry)) {
            if (entry.kind == RecordingFormat::RecordKind::Request) {
                QCOMPARE(entry.data.left(4).toHex(), QByteArray("02052a00")); // "Set threshold", threshold 0x2a
                ++requests;
            }
        }
        QVERIFY(requests >= 1);
    }
};

QTEST_GUILESS_MAIN(TestMqttCtlCommands)
#include "tst_mqttctlcommands.moc"

// tolvexctl watch answers commands from the broker too: the built executable on its simulated
// device, which echoes request values into the answer.
#include "mosquittotesting.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace MqttTesting;

class TestMqttCtlCommands : public QObject
{
    Q_OBJECT

private slots:
    void watchAnswersCommands()
    {
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

        QProcess watch;
        watch.setStandardOutputFile(QProcess::nullDevice());
        watch.start(QStringLiteral(TOLVEXCTL), {QStringLiteral("--config"), config, QStringLiteral("--sim"),
                                                QStringLiteral("rate=50"), QStringLiteral("watch"),
                                                QStringLiteral("--duration"), QStringLiteral("60")});
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
    }
};

QTEST_GUILESS_MAIN(TestMqttCtlCommands)
#include "tst_mqttctlcommands.moc"

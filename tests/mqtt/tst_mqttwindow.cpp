// The window with a broker (a real mosquitto): commands from the broker reach the simulated
// device and are answered; errors are answered; and a broker that goes away mid-run changes
// nothing but the status bar.
#include "mosquittotesting.h"
#include "recordingreader.h"
#include "reports.h"
#include "windowrig.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

using namespace MqttTesting;

namespace {

const char *const configTemplate = R"({
  "settings": {"maxPlotXPoints": 50, "maxConsoleLines": 0},
  "commands": [
    {"id": 0, "in": [{"name": "count", "type": "uint16"}]},
    {"id": 5, "name": "Set threshold",
     "out": [{"name": "channel", "type": "uint8", "default": "7"},
             {"name": "threshold", "type": "uint16", "view": "hex", "default": "1F"}],
     "in":  [{"name": "channel", "type": "uint8"},
             {"name": "threshold", "type": "uint16", "view": "hex"}]}
  ],
  "mqtt": {"url": "%1", "topic": "bench/7", "commands": %2}
})";

// The device answers a "Set threshold" request by echoing its payload, after delayMs.
void answerAfter(SimDevice &device, int delayMs)
{
    device.setResponder([delayMs](SimDevice &d, const QByteArray &request) {
        if (request.size() > 4 && request.at(1) == 5)
            d.injectReport(inputReport(5, {quint8(request.at(2)), quint8(request.at(3)), quint8(request.at(4))}),
                           delayMs);
    });
}

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

} // namespace

class TestMqttWindow : public SimulatedWindowTest
{
    Q_OBJECT

    Broker broker;
    Subscriber client; // the lab's side: sends commands, reads answers and telemetry

    QString statusText() { return window->findChild<QLabel *>(QStringLiteral("lbMqttStatus"))->text(); }
    QString console() { return window->findChild<QPlainTextEdit *>(QStringLiteral("pte"))->toPlainText(); }

    void openWindowWith(bool commands)
    {
        writeConfig(QString::fromLatin1(configTemplate)
                        .arg(broker.url(), commands ? QStringLiteral("true") : QStringLiteral("false"))
                        .toUtf8());
        openWindow();
        QVERIFY(device->isOpen());
        QTRY_COMPARE_WITH_TIMEOUT(statusText(), QStringLiteral("MQTT: подключено к ") + broker.url(), 10000);
    }

    // The answer to a request with this id, once it comes.
    QJsonObject answerTo(const QString &id, int timeoutMs = 5000)
    {
        QJsonObject found;
        waitUntil(
            [&] {
                for (const Message &message : client.messages("bench/7/answer")) {
                    const QJsonObject answer = json(message.payload);
                    if (answer.value(QStringLiteral("id")).toString() == id) {
                        found = answer;
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }

    QJsonObject ask(const QByteArray &request, const QString &id)
    {
        if (!client.publish(QStringLiteral("bench/7/command"), request))
            return QJsonObject();
        return answerTo(id);
    }

    // The program takes commands once its subscription is granted: ask until it answers.
    bool waitForSubscription()
    {
        for (int attempt = 0; attempt < 50; ++attempt) {
            const QString id = QStringLiteral("probe-%1").arg(attempt);
            client.publish(QStringLiteral("bench/7/command"),
                           QStringLiteral(R"({"command": "none such", "id": "%1"})").arg(id).toUtf8());
            if (!answerTo(id, 200).isEmpty())
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(workDir.path()));
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        QVERIFY(client.subscribe(broker.url(), QStringLiteral("bench/7/#"), 1));
    }
    void init() { client.clear(); }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { removeConfig(); }

    void commandRoundTrip()
    {
        openWindowWith(true);
        answerAfter(*device, 500);
        QVERIFY(waitForSubscription());

        QVERIFY(client.publish(QStringLiteral("bench/7/command"),
                               R"({"command": "Set threshold", "values": {"threshold": "2A"}, "id": "r-1"})"));
        // Written as the form writes it: the channel takes its default.
        QTRY_VERIFY(device->writeAttempts() >= 1);
        QCOMPARE(QString::fromLatin1(device->writtenReports().value(0).toHex()), hexOf({0x02, 0x05, 0x07, 0x2a, 0x00}));
        // While it waits for its answer, the operator's request is refused as busy.
        QTRY_VERIFY(console().contains(QStringLiteral("Запрос по MQTT:\n") + hexOf({0x02, 0x05, 0x07, 0x2a, 0x00})));
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pbSend")), Qt::LeftButton);
        QCOMPARE(MainWindowProbe(*window).answerEdits().value(0)->text(), QStringLiteral("занят, повторить позже..."));

        const QJsonObject answer = answerTo(QStringLiteral("r-1"));
        QCOMPARE(answer.value(QStringLiteral("command")).toString(), QStringLiteral("Set threshold"));
        QCOMPARE(answer.value(QStringLiteral("values")).toObject(),
                 (QJsonObject{{"channel", "7"}, {"threshold", "2a"}}));
        QVERIFY(!answer.contains(QStringLiteral("error")));
        QCOMPARE(device->writeAttempts(), 1);
        // The answer is echoed in the console like any answer.
        QTRY_VERIFY(console().contains(QStringLiteral("Ответ:\n") + hexOf({0x01, 0x05, 0x07, 0x2a, 0x00})));
    }

    void aCommandFromTheBrokerIsRecorded()
    {
        openWindowWith(true);
        answerAfter(*device, 0);
        QVERIFY(waitForSubscription());
        const QStringList before = QDir::current().entryList({QStringLiteral("recording-*.tvxr")}, QDir::Files);
        auto *record = window->findChild<QCheckBox *>(QStringLiteral("cbRecord"));
        record->setChecked(true);
        const QStringList after = QDir::current().entryList({QStringLiteral("recording-*.tvxr")}, QDir::Files);
        QCOMPARE(after.size(), before.size() + 1);
        QString path;
        for (const QString &name : after) {
            if (!before.contains(name))
                path = QDir::current().absoluteFilePath(name);
        }

        const QJsonObject answer = ask(R"({"command": "Set threshold", "values": {"threshold": "2A"}, "id": "rec-1"})",
                                       QStringLiteral("rec-1"));
        QVERIFY(!answer.isEmpty() && !answer.contains(QStringLiteral("error")));
        record->setChecked(false);

        RecordingReader reader;
        QVERIFY2(reader.open(path), qPrintable(reader.errorString()));
        QStringList requests;
        RecordingReader::Record entry;
        while (reader.next(entry)) {
            if (entry.kind == RecordingFormat::RecordKind::Request)
                requests << QString::fromLatin1(entry.data.toHex());
        }
        QCOMPARE(requests, QStringList{hexOf({0x02, 0x05, 0x07, 0x2a, 0x00})});
    }

    void commandsOffReachNothing()
    {
        openWindowWith(false);
        answerAfter(*device, 0);
        for (int i = 0; i < 5; ++i) {
            QVERIFY(client.publish(QStringLiteral("bench/7/command"),
                                   R"({"command": "Set threshold", "id": "r-2"})"));
            QTest::qWait(200);
        }
        QTest::qWait(500);
        QCOMPARE(device->writeAttempts(), 0);
        QCOMPARE(client.count("/answer"), 0);
    }

    void errorAnswers()
    {
        openWindowWith(true);
        QVERIFY(waitForSubscription());
        const auto error = [](const QJsonObject &answer) { return answer.value(QStringLiteral("error")).toString(); };

        QCOMPARE(error(ask(R"({"command": 99, "id": "e-1"})", "e-1")), QStringLiteral("unknown command"));
        QCOMPARE(error(ask(R"({"command": "Set threshold", "values": {"gain": "1"}, "id": "e-2"})", "e-2")),
                 QStringLiteral("unknown field"));
        const QJsonObject badValue =
            ask(R"({"command": 5, "values": {"threshold": "1ffff"}, "id": "e-3"})", "e-3");
        QCOMPARE(error(badValue), QStringLiteral("bad value"));
        QCOMPARE(badValue.value(QStringLiteral("field")).toString(), QStringLiteral("threshold"));
        QCOMPARE(error(ask(R"({"command": 5, "values": {"channel": 7}, "id": "e-4"})", "e-4")),
                 QStringLiteral("bad value"));
        QCOMPARE(device->writeAttempts(), 0); // nothing refused reached the device

        // Text that is no JSON object carries no id to answer: dropped, and counted.
        QVERIFY(client.publish(QStringLiteral("bench/7/command"), "{\"command\": "));
        QTRY_VERIFY(statusText().endsWith(QStringLiteral(", непонятых команд: 1")));

        // The device does not answer: a time-out, and the request is given up for good.
        QCOMPARE(error(ask(R"({"command": 5, "id": "e-5"})", "e-5")), QStringLiteral("timeout"));

        // Busy while another waits, a remote one or the operator's own.
        answerAfter(*device, 300);
        QVERIFY(client.publish(QStringLiteral("bench/7/command"), R"({"command": 5, "id": "e-6"})"));
        QCOMPARE(error(ask(R"({"command": 5, "id": "e-7"})", "e-7")), QStringLiteral("busy"));
        QVERIFY(error(answerTo(QStringLiteral("e-6"))).isEmpty());
        device->setResponder(nullptr);
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pbSend")), Qt::LeftButton);
        QCOMPARE(error(ask(R"({"command": 5, "id": "e-8"})", "e-8")), QStringLiteral("busy"));
    }

    void brokerGoneMidRun()
    {
        openWindowWith(false);
        // Telemetry at 200 reports a second, its one value counting them.
        int sent = 0;
        QTimer telemetry;
        connect(&telemetry, &QTimer::timeout, [&] {
            device->injectReport(inputReport(0, {quint8(sent & 0xff), quint8(sent >> 8)}));
            ++sent;
        });
        telemetry.start(5);
        QVERIFY(waitUntil([&] { return client.count("/telemetry") > 20; }, 5000));
        const QJsonObject published = json(client.messages("/telemetry").last().payload);
        QVERIFY(published.value(QStringLiteral("values")).toObject().contains(QStringLiteral("count")));

        broker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(statusText().startsWith(QStringLiteral("MQTT: нет связи с ") + broker.url()), 5000);
        // The window goes on as before: its values move and its plots are redrawn.
        int replots = 0;
        connect(MainWindowProbe(*window).replotTimer(), &QTimer::timeout, [&] { ++replots; });
        const QString before = MainWindowProbe(*window).valueTexts().value(0);
        QTest::qWait(1500);
        QVERIFY(MainWindowProbe(*window).valueTexts().value(0) != before);
        QVERIFY2(replots >= 15, qPrintable(QString::number(replots)));
        QVERIFY(statusText().contains(QStringLiteral(", не доставлено отчётов: ")));

        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(statusText(), QStringLiteral("MQTT: подключено к ") + broker.url(), 10000);
    }
};

QTEST_MAIN(TestMqttWindow)
#include "tst_mqttwindow.moc"

// The publisher on its own against a real mosquitto: what arrives, what a broker that goes
// away costs, and what the state says when the broker cannot be had.
#include "mosquittotesting.h"
#include "mqttpublisher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

using namespace MqttTesting;

namespace {

MqttMeta testMeta()
{
    MqttMeta meta;
    meta.names = QStringList{QStringLiteral("seq"), QStringLiteral("mode")};
    meta.units = QStringList{QString(), QString()};
    meta.views = QVector<ParamView>{ViewNum, ViewHex};
    meta.product = QStringLiteral("Tolvex test");
    meta.tag = QStringLiteral("t1");
    meta.version = QStringLiteral("1.7.0");
    return meta;
}

QVector<MqttValue> report(int seq)
{
    QVector<MqttValue> values(2);
    values[0].name = QStringLiteral("seq");
    values[0].number = seq;
    values[1].name = QStringLiteral("mode");
    values[1].view = ViewHex;
    values[1].text = QString::number(seq, 16);
    return values;
}

int seqOf(const Message &message)
{
    return QJsonDocument::fromJson(message.payload).object().value(QStringLiteral("values")).toObject()
        .value(QStringLiteral("seq")).toInt(-1);
}

} // namespace

class TestMqttPublisher : public QObject
{
    Q_OBJECT

private slots:
    // Reports in order; with "commands", requests come out of commandReceived and answers go
    // to <topic>/answer.
    void reportsArriveInOrder()
    {
        Broker broker;
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        MqttSettings settings = MqttSettings::fromUrl(broker.url(), &error);
        settings.topic = QStringLiteral("bench/1");
        settings.commands = true;
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("bench/1/#")));
        MqttPublisher publisher(settings);
        QSignalSpy commands(&publisher, &MqttPublisher::commandReceived);
        publisher.setMeta(testMeta());
        QVERIFY(subscriber.waitFor("/status", "online", 5000));
        // The command subscription follows "online": the request is sent until it is heard.
        for (int i = 0; i < 20 && commands.isEmpty(); ++i) {
            QVERIFY(subscriber.publish(QStringLiteral("bench/1/command"), R"({"command":"Set threshold","id":7})"));
            commands.wait(250);
        }
        QVERIFY(!commands.isEmpty());
        QCOMPARE(commands.first().first().toByteArray(), QByteArray(R"({"command":"Set threshold","id":7})"));
        publisher.publishAnswer(R"({"id":7,"error":"timeout"})");
        QVERIFY(subscriber.waitFor("/answer", R"({"id":7,"error":"timeout"})", 5000));
        for (int i = 0; i < 1000; ++i)
            publisher.publishReport(1765182031000 + i, report(i));
        QVERIFY(waitUntil([&] { return subscriber.count("/telemetry") == 1000; }, 10000));
        const QVector<Message> got = subscriber.messages("/telemetry");
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(seqOf(got.at(i)), i);
        QCOMPARE(publisher.state().kind, MqttState::Kind::Connected);
    }

    // The broker away for 5 s: the reports of the gap wait up to the bound and go out in order
    // once it is back (within 3 s); the oldest beyond the bound are dropped, and counted exactly.
    void brokerRestartKeepsTheGapWithinTheBound()
    {
        Broker broker;
        broker.setPersistent(true);
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("gap/#"), 1, QString(), QString(), QString(), true));
        MqttSettings settings = MqttSettings::fromUrl(broker.url(), &error);
        settings.topic = QStringLiteral("gap");
        settings.bufferReports = 300;
        MqttPublisher publisher(settings);
        QSignalSpy states(&publisher, &MqttPublisher::stateChanged);
        publisher.setMeta(testMeta());
        for (int i = 0; i < 100; ++i)
            publisher.publishReport(1765182031000 + i, report(i));
        QVERIFY(waitUntil([&] { return subscriber.count("/telemetry") == 100; }, 10000));

        broker.stop();
        QVERIFY(waitUntil([&] { return publisher.state().kind != MqttState::Kind::Connected; }, 5000));
        QElapsedTimer away;
        away.start();
        for (int i = 100; i < 600; ++i)
            publisher.publishReport(1765182031000 + i, report(i));
        const MqttState during = publisher.state();
        QCOMPARE(during.waiting, qint64(300));
        QCOMPARE(during.dropped, qint64(200));
        QVERIFY(during.since > 0);
        QVERIFY2(during.englishText().contains(QLatin1String("500 reports not delivered (200 dropped)")),
                 qPrintable(during.englishText()));
        QTest::qWait(int(qMax<qint64>(0, 5000 - away.elapsed())));

        QVERIFY2(broker.start(&error), qPrintable(error));
        QElapsedTimer back;
        back.start();
        QVERIFY(waitUntil([&] { return publisher.state().connected(); }, 5000));
        QVERIFY2(back.elapsed() <= 3000, qPrintable(QString::number(back.elapsed())));
        QVERIFY(waitUntil([&] { return subscriber.count("/telemetry") == 400; }, 10000));
        QTest::qWait(300);
        const QVector<Message> got = subscriber.messages("/telemetry");
        QCOMPARE(got.size(), 400);
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(seqOf(got.at(i)), i < 100 ? i : i + 200);
        QCOMPARE(publisher.state().dropped, qint64(200));
        QCOMPARE(publisher.state().waiting, qint64(0));
        // The front end heard of the loss and of the return, each once.
        QVERIFY(waitUntil([&] { return states.size() >= 3; }, 2000));
        QCOMPARE(states.last().first().value<MqttState>().kind, MqttState::Kind::Connected);
    }

    // At QoS 1, reports the broker had not acknowledged when it went are sent again once it
    // is back: within the bound, none is lost, and the first arrival of each is in order.
    void reportsInFlightWhenTheBrokerGoesAreSentAgain()
    {
        Broker broker;
        broker.setPersistent(true);
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("flight/#"), 1, QString(), QString(), QString(), true));
        MqttSettings settings = MqttSettings::fromUrl(broker.url(), &error);
        settings.topic = QStringLiteral("flight");
        settings.qos = 1;
        MqttPublisher publisher(settings);
        publisher.setMeta(testMeta());
        QVERIFY(waitUntil([&] { return publisher.state().connected(); }, 5000));
        const int count = 3000;
        for (int i = 0; i < count; ++i)
            publisher.publishReport(1765182031000 + i, report(i));
        QVERIFY(waitUntil([&] { return publisher.deliveredReports() > 0; }, 5000));
        broker.stop();
        QVERIFY2(publisher.deliveredReports() < count, "every report was acknowledged before the broker went");
        QVERIFY(waitUntil([&] { return !publisher.state().connected(); }, 5000));
        QVERIFY2(broker.start(&error), qPrintable(error));
        QVERIFY2(waitUntil([&] { return publisher.deliveredReports() == count; }, 15000),
                 qPrintable(QStringLiteral("%1 delivered, %2").arg(publisher.deliveredReports()).arg(QStringLiteral("waiting %1 dropped %2").arg(publisher.state().waiting).arg(publisher.state().dropped))));
        QCOMPARE(publisher.state().dropped, qint64(0));
        QVector<int> firsts;
        QSet<int> seen;
        QVERIFY(waitUntil(
            [&] {
                for (const Message &message : subscriber.messages("/telemetry")) {
                    const int seq = seqOf(message);
                    if (!seen.contains(seq)) {
                        seen.insert(seq);
                        firsts << seq;
                    }
                }
                return seen.size() == count;
            },
            10000));
        for (int i = 0; i < count; ++i)
            QCOMPARE(firsts.at(i), i);
    }

    // Reports that wait for the broker go out under the topic of the device they came from,
    // also when another device (with another default topic) was opened meanwhile.
    void waitingReportsKeepTheirDevicesTopic()
    {
        Broker broker;
        broker.setPersistent(true);
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("tolvex/#"), 1, QString(), QString(), QString(), true));
        broker.stop();
        MqttPublisher publisher(MqttSettings::fromUrl(broker.url(), &error)); // the default topic, by tag
        MqttMeta meta = testMeta();
        publisher.setMeta(meta);
        for (int i = 0; i < 5; ++i)
            publisher.publishReport(1765182031000 + i, report(i));
        meta.tag = QStringLiteral("t2");
        publisher.setMeta(meta);
        for (int i = 5; i < 10; ++i)
            publisher.publishReport(1765182031000 + i, report(i));
        QVERIFY2(broker.start(&error), qPrintable(error));
        QVERIFY(waitUntil([&] { return subscriber.count("/telemetry") == 10; }, 15000));
        for (const Message &message : subscriber.messages("/telemetry"))
            QVERIFY2(message.topic.endsWith(seqOf(message) < 5 ? "/t1/telemetry" : "/t2/telemetry"), message.topic);
    }

    // A broker that cannot be had: the state says why, and reports wait without blocking.
    void brokerThatCannotBeHad_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("kind");
        QTest::newRow("wrong password") << "password" << int(MqttState::Kind::LoginRefused);
        QTest::newRow("unknown host") << "host" << int(MqttState::Kind::UnknownHost);
        QTest::newRow("no answer") << "silent" << int(MqttState::Kind::NoAnswer);
        QTest::newRow("untrusted certificate") << "tls" << int(MqttState::Kind::Disconnected);
    }
    void brokerThatCannotBeHad()
    {
        QFETCH(QString, how);
        QFETCH(int, kind);
        Broker broker;
        QTcpServer silent;
        Certificates certificates;
        MqttSettings settings;
        QString error;
        if (how == QLatin1String("password")) {
            QVERIFY2(broker.setPassword(QStringLiteral("bench"), QStringLiteral("right"), &error), qPrintable(error));
            QVERIFY2(broker.start(&error), qPrintable(error));
            settings = MqttSettings::fromUrl(broker.url(), &error);
            settings.username = QStringLiteral("bench");
            settings.password = QStringLiteral("wrong");
        } else if (how == QLatin1String("host")) {
            settings = MqttSettings::fromUrl(QStringLiteral("mqtt://no-such-broker.invalid"), &error);
        } else if (how == QLatin1String("silent")) {
            QVERIFY(silent.listen(QHostAddress::LocalHost));
            settings = MqttSettings::fromUrl(QStringLiteral("mqtt://127.0.0.1:%1").arg(silent.serverPort()), &error);
        } else {
            QVERIFY2(certificates.make(broker.path(), &error), qPrintable(error));
            broker.setTls(certificates);
            QVERIFY2(broker.start(&error), qPrintable(error));
            settings = MqttSettings::fromUrl(broker.url(), &error); // no "ca": the system's, which do not know it
        }
        QVERIFY(settings.enabled);
        settings.topic = QStringLiteral("nowhere");
        MqttPublisher publisher(settings);
        QSignalSpy states(&publisher, &MqttPublisher::stateChanged);
        publisher.setMeta(testMeta());
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 20000; ++i)
            publisher.publishReport(1765182031000 + i, report(i));
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(waitUntil([&] { return int(publisher.state().kind) == kind; }, 12000),
                 qPrintable(publisher.state().englishText()));
        QCOMPARE(publisher.state().undelivered(), qint64(20000));
        QCOMPARE(publisher.deliveredReports(), qint64(0));
        QVERIFY(waitUntil([&] { return !states.isEmpty(); }, 1000));
        timer.restart();
        publisher.stop();
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }

    // mqtts with the CA that signed the broker's certificate.
    void tlsWithTheTestsCa()
    {
        Broker broker;
        Certificates certificates;
        QString error;
        QVERIFY2(certificates.make(broker.path(), &error), qPrintable(error));
        broker.setTls(certificates);
        QVERIFY2(broker.start(&error), qPrintable(error));
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("tls/#"), 0, certificates.caFile));
        MqttSettings settings = MqttSettings::fromUrl(broker.url(), &error);
        settings.topic = QStringLiteral("tls");
        settings.ca = certificates.caFile;
        MqttPublisher publisher(settings);
        publisher.setMeta(testMeta());
        for (int i = 0; i < 50; ++i)
            publisher.publishReport(1765182031000 + i, report(i));
        QVERIFY2(waitUntil([&] { return subscriber.count("/telemetry") == 50; }, 10000),
                 qPrintable(publisher.state().englishText()));
        QVERIFY(subscriber.waitFor("/status", "online", 1000));
    }
};

QTEST_GUILESS_MAIN(TestMqttPublisher)
#include "tst_mqttpublisher.moc"

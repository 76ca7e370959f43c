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
    void reportsArriveInOrder()
    {
        Broker broker;
        QString error;
        QVERIFY2(broker.start(&error), qPrintable(error));
        MqttSettings settings = MqttSettings::fromUrl(broker.url(), &error);
        settings.topic = QStringLiteral("bench/1");
        Subscriber subscriber;
        QVERIFY(subscriber.subscribe(broker.url(), QStringLiteral("bench/1/#")));
        MqttPublisher publisher(settings);
        publisher.setMeta(testMeta());
        for (int i = 0; i < 1000; ++i)
            publisher.publishReport(1765182031000 + i, report(i));
        QVERIFY(waitUntil([&] { return subscriber.count("/telemetry") == 1000; }, 10000));
        const QVector<Message> got = subscriber.messages("/telemetry");
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(seqOf(got.at(i)), i);
        QCOMPARE(publisher.state().kind, MqttState::Kind::Connected);
    }
};

QTEST_GUILESS_MAIN(TestMqttPublisher)
#include "tst_mqttpublisher.moc"

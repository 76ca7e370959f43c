// What the simulated device says: telemetry that decodes back to the generated values through
// the real parser, and answers that echo the request.
#include "commandanswerer.h"
#include "dataparser.h"
#include "fieldcodec.h"
#include "simplatform.h"
#include "telemetrygenerator.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

CommandDescription describe(const char *json)
{
    return CommandDescription(QJsonDocument::fromJson(json).object());
}

// Every numeric type once, no scripts: what the parser keeps is the raw value.
const char *allTypes = R"({ "name": "Telemetry", "id": 0, "in": [
    { "name": "b",   "type": "bool" },   { "name": "i8",  "type": "int8" },
    { "name": "u8",  "type": "uint8" },  { "name": "i16", "type": "int16" },
    { "name": "u16", "type": "uint16" }, { "name": "i32", "type": "int32" },
    { "name": "u32", "type": "uint32" }, { "name": "i64", "type": "int64" },
    { "name": "u64", "type": "uint64" }, { "name": "f",   "type": "float" },
    { "name": "d",   "type": "double" } ] })";

} // namespace

class GeneratedTelemetryTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decodesToGeneratedValues_data();
    void decodesToGeneratedValues();
    void signalsMove();
    void generatorSendsInOrderAtRate();
    void generatorPausesAtRateZero();
    void answersEchoTheRequest();
    void answersWithoutRequestValues();
    void answersOnlyConfiguredCommands();

private:
    QTemporaryDir logDir; // the parser opens its log files in the working directory
};

void GeneratedTelemetryTest::initTestCase()
{
    QVERIFY(logDir.isValid());
    QVERIFY(QDir::setCurrent(logDir.path()));
}

void GeneratedTelemetryTest::decodesToGeneratedValues_data()
{
    QTest::addColumn<quint64>("sample");
    QTest::addColumn<double>("seconds");
    QTest::newRow("start") << quint64(0) << 0.0;
    QTest::newRow("quarter period") << quint64(57) << 0.5;
    QTest::newRow("later") << quint64(123456) << 1234.567;
}

void GeneratedTelemetryTest::decodesToGeneratedValues()
{
    QFETCH(quint64, sample);
    QFETCH(double, seconds);
    const CommandDescription telemetry = describe(allTypes);
    DataParser parser(telemetry, 4);
    parser.descriptions.insert(0, telemetry);

    const QByteArray report = TelemetryGenerator::makeReport(telemetry, sample, seconds);
    QCOMPARE(report.size(), reportSize);
    QCOMPARE(report.at(0), char(1));
    QCOMPARE(report.at(1), char(0));
    QVERIFY(parser.decodeReport(report));

    std::lock_guard<std::mutex> state(parser.stateLock);
    for (int k = 0; k < telemetry.inTypes.size(); ++k) {
        const double expected = TelemetryGenerator::sampleValue(k, telemetry.inTypes[k], sample, seconds);
        const double decoded = parser.yValues[k].last();
        QVERIFY2(std::abs(decoded - expected) <= 1e-6 * std::max(1.0, std::abs(expected)),
                 qPrintable(QStringLiteral("%1: %2 != %3").arg(telemetry.inNames[k]).arg(decoded).arg(expected)));
    }
}

// A plot of a constant says nothing: each kind of value must change over a few seconds.
void GeneratedTelemetryTest::signalsMove()
{
    const CommandDescription telemetry = describe(allTypes);
    for (int k = 0; k < telemetry.inTypes.size(); ++k) {
        QSet<double> seen;
        for (int step = 0; step < 40; ++step)
            seen.insert(TelemetryGenerator::sampleValue(k, telemetry.inTypes[k], quint64(step), step * 0.25));
        QVERIFY2(seen.size() > 1, qPrintable(telemetry.inNames[k]));
    }
}

void GeneratedTelemetryTest::generatorSendsInOrderAtRate()
{
    const CommandDescription telemetry = describe(allTypes);
    SimPlatform sim;
    auto device = sim.plug("Generator");
    auto connection = sim.open(device->path());
    TelemetryGenerator generator(device, telemetry);
    generator.setRate(2000);
    QElapsedTimer clock;
    clock.start();

    const int u64Index = telemetry.inNames.indexOf("u64");
    const int u64Pos = 2 + 1 + 1 + 1 + 2 + 2 + 4 + 4 + 8;
    quint64 expected = 0;
    unsigned char buffer[reportSize];
    while (expected < 400) {
        QVERIFY(clock.elapsed() < 5000);
        if (connection->read(buffer, 50) != HidConnection::Result::Done)
            continue;
        const QByteArray report(reinterpret_cast<const char *>(buffer), reportSize);
        QCOMPARE(quint64(FieldCodec::read(report, u64Pos, TypeUInt64).value), expected);
        ++expected;
    }
    QVERIFY(u64Index >= 0);
    // 400 reports at 2000 per second take about 200 ms; far longer means the rate is not kept.
    QVERIFY2(clock.elapsed() >= 150 && clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY(generator.reportsSent() >= 400); // counted just after the device took it
}

void GeneratedTelemetryTest::generatorPausesAtRateZero()
{
    SimPlatform sim;
    auto device = sim.plug("Generator");
    auto connection = sim.open(device->path());
    TelemetryGenerator generator(device, describe(allTypes));
    QTest::qWait(50);
    QCOMPARE(generator.reportsSent(), quint64(0));
    generator.setRate(1000);
    QTRY_VERIFY(generator.reportsSent() > 0);
    generator.setRate(0);
    QTest::qWait(30);
    const quint64 sent = generator.reportsSent();
    QTest::qWait(50);
    QCOMPARE(generator.reportsSent(), sent);
}

void GeneratedTelemetryTest::answersEchoTheRequest()
{
    const CommandDescription command = describe(R"({ "name": "Set", "id": 261,
        "out": [ { "name": "channel", "type": "uint8" }, { "name": "level", "type": "int32" },
                 { "name": "gain", "type": "float" } ],
        "in":  [ { "name": "gain", "type": "double" }, { "name": "channel", "type": "uint16" },
                 { "name": "level", "type": "int32" }, { "name": "spare", "type": "uint8" } ] })");
    QByteArray request(reportSize, '\0');
    request[0] = 2;
    request[1] = char(261 & 0xff);
    int pos = 2;
    pos += FieldCodec::encodeValue(request, pos, TypeUInt8, 7);
    pos += FieldCodec::encodeValue(request, pos, TypeInt32, -123456);
    FieldCodec::encodeValue(request, pos, TypeFloat, 2.5);

    const QByteArray answer = CommandAnswerer::makeAnswer(command, request);
    QCOMPARE(answer.size(), reportSize);
    QCOMPARE(answer.at(1), char(5)); // the low 8 bits of the id
    QCOMPARE(FieldCodec::read(answer, 2, TypeDouble).value, 2.5);
    QCOMPARE(FieldCodec::read(answer, 10, TypeUInt16).value, 7.0);
    QCOMPARE(FieldCodec::read(answer, 12, TypeInt32).value, -123456.0);
    QVERIFY(FieldCodec::read(answer, 16, TypeUInt8).value != 0); // plausible, not blank
}

void GeneratedTelemetryTest::answersWithoutRequestValues()
{
    const CommandDescription version = describe(R"({ "name": "Version", "id": 1,
        "in": [ { "name": "version", "type": "string", "view": "str" } ] })");
    QByteArray request(reportSize, '\0');
    request[1] = 1;
    const QByteArray answer = CommandAnswerer::makeAnswer(version, request);
    QVERIFY(!answer.mid(2).startsWith('\0'));

    const CommandDescription rename = describe(R"({ "name": "Name", "id": 4,
        "out": [ { "name": "name", "type": "string", "view": "str" } ],
        "in": [ { "name": "name", "type": "string", "view": "str" } ] })");
    QByteArray named(reportSize, '\0');
    named[1] = 4;
    named.replace(2, 7, "bench-9");
    QCOMPARE(CommandAnswerer::makeAnswer(rename, named).mid(2, 8), QByteArray("bench-9\0", 8));
}

void GeneratedTelemetryTest::answersOnlyConfiguredCommands()
{
    SimPlatform sim;
    auto device = sim.plug("Answering");
    auto connection = sim.open(device->path());
    CommandAnswerer answerer({describe(R"({ "name": "Ping", "id": 9 })")}, 5);
    answerer.attachTo(*device);

    QByteArray request(reportSize, '\0');
    request[1] = 9;
    const auto *bytes = reinterpret_cast<const unsigned char *>(request.constData());
    unsigned char buffer[reportSize];
    QCOMPARE(connection->write(bytes, 1), HidConnection::Result::Done);
    QCOMPARE(connection->read(buffer, 500), HidConnection::Result::Done);
    QCOMPARE(buffer[1], 9);

    request[1] = 8; // not configured
    QCOMPARE(connection->write(bytes, 1), HidConnection::Result::Done);
    answerer.setAnswering(false);
    request[1] = 9;
    QCOMPARE(connection->write(bytes, 1), HidConnection::Result::Done);
    QCOMPARE(connection->read(buffer, 50), HidConnection::Result::TimedOut);
    QCOMPARE(answerer.answersSent(), quint64(1));
    device->setResponder(nullptr);
}

QTEST_GUILESS_MAIN(GeneratedTelemetryTest)
#include "tst_generatedtelemetry.moc"

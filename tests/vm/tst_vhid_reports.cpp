// What the virtual device says, without a kernel: its telemetry decodes back to the values it
// meant, its answers echo the request, and no report is ever longer than 64 bytes.

#include "fieldcodec.h"
#include "reportmaker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

CommandDescription describe(const char *json)
{
    return CommandDescription(QJsonDocument::fromJson(json).object());
}

const char *const telemetryJson = R"({"id": 0, "in": [
    {"name": "a", "type": "uint32"}, {"name": "b", "type": "int8"}, {"name": "c", "type": "uint16"},
    {"name": "d", "type": "float"}, {"name": "e", "type": "bool"}, {"name": "f", "type": "uint64"}]})";

const char *const thresholdJson = R"({"id": 2,
    "out": [{"name": "channel", "type": "uint8"}, {"name": "threshold", "type": "uint16"},
            {"name": "serial", "type": "uint64"}, {"name": "wide", "type": "uint16"}],
    "in":  [{"name": "channel", "type": "uint8"}, {"name": "threshold", "type": "uint16"},
            {"name": "serial", "type": "uint64"}, {"name": "wide", "type": "uint8"},
            {"name": "accepted", "type": "uint8"}]})";

const char *const nameJson = R"({"id": 4,
    "out": [{"name": "name", "type": "string"}],
    "in": [{"name": "name", "type": "string"}]})";

const char *const versionJson = R"({"id": 1, "in": [{"name": "version", "type": "string"}]})";

QByteArray request(int idByte, const QByteArray &payload)
{
    QByteArray report(64, '\0');
    report[0] = 2;
    report[1] = char(idByte);
    report.replace(2, payload.size(), payload);
    return report;
}

} // namespace

class VhidReportsTest : public QObject
{
    Q_OBJECT

private slots:
    void countTelemetryDecodesToItsValues_data();
    void countTelemetryDecodesToItsValues();
    void waveTelemetryStaysWithinEachField();
    void noReportGrowsPastSixtyFourBytes();
    void answerEchoesRequestValuesByName();
    void answerEchoesAStringRequest();
    void answerWithoutEchoGivesPlainValues();
    void answerFindsItsCommandByIdByte_data();
    void answerFindsItsCommandByIdByte();
    void configurationThatCannotBeReadIsReported();
};

void VhidReportsTest::countTelemetryDecodesToItsValues_data()
{
    QTest::addColumn<quint64>("sample");
    QTest::addColumn<QVector<double>>("expected"); // a, b, c, d, e, f

    QTest::newRow("first report") << quint64(0) << QVector<double>{0, 1, 2, 3, 0, 5};
    QTest::newRow("int8 wraps at 128") << quint64(130) << QVector<double>{130, 3, 132, 133, 0, 135};
    QTest::newRow("uint16 wraps") << quint64(65534) << QVector<double>{65534, 127, 0, 65537, 0, 65539};
}

void VhidReportsTest::countTelemetryDecodesToItsValues()
{
    QFETCH(quint64, sample);
    QFETCH(QVector<double>, expected);
    const CommandDescription telemetry = describe(telemetryJson);
    const ReportMaker maker({telemetry}, ReportMaker::Pattern::Count, QStringLiteral("VM"));

    const QByteArray report = maker.telemetry(sample, 0);
    QCOMPARE(report.size(), 64);
    QCOMPARE(int(report[0]), 1);
    QCOMPARE(int(report[1]), 0);
    int pos = 2;
    for (int k = 0; k < telemetry.inTypes.size(); ++k) {
        QCOMPARE(FieldCodec::read(report, pos, telemetry.inTypes[k]).value, expected[k]);
        pos += CommandDescription::widthOf(telemetry.inTypes[k]);
    }
}

void VhidReportsTest::waveTelemetryStaysWithinEachField()
{
    // Saturating values would show as flat lines stuck at a type's limit.
    const CommandDescription telemetry = describe(R"({"id": 0, "in": [
        {"type": "int8"}, {"type": "uint8"}, {"type": "int16"}, {"type": "uint16"}]})");
    const ReportMaker maker({telemetry}, ReportMaker::Pattern::Wave, QStringLiteral("VM"));
    double lowest[4] = {1e9, 1e9, 1e9, 1e9};
    double highest[4] = {-1e9, -1e9, -1e9, -1e9};
    for (int n = 0; n < 600; ++n) {
        const QByteArray report = maker.telemetry(n, n / 100.0);
        int pos = 2;
        for (int k = 0; k < 4; ++k) {
            const double value = FieldCodec::read(report, pos, telemetry.inTypes[k]).value;
            lowest[k] = qMin(lowest[k], value);
            highest[k] = qMax(highest[k], value);
            pos += CommandDescription::widthOf(telemetry.inTypes[k]);
        }
    }
    const double limits[4][2] = {{-128, 127}, {0, 255}, {-32768, 32767}, {0, 65535}};
    for (int k = 0; k < 4; ++k) {
        QVERIFY2(lowest[k] > limits[k][0] && highest[k] < limits[k][1], qPrintable(QString::number(k)));
        QVERIFY2(highest[k] - lowest[k] > 50, "the value hardly moves");
    }
}

void VhidReportsTest::noReportGrowsPastSixtyFourBytes()
{
    // Wider than the payload: a string after other fields, and an answer of 70 bytes.
    const CommandDescription telemetry = describe(R"({"id": 0, "in": [
        {"type": "uint32"}, {"type": "string"}, {"type": "double"}]})");
    const CommandDescription command = describe(R"({"id": 3,
        "out": [{"name": "x", "type": "string"}],
        "in": [{"type": "double"}, {"type": "double"}, {"type": "double"}, {"type": "double"},
               {"type": "double"}, {"type": "double"}, {"type": "double"}, {"name": "x", "type": "string"}]})");
    for (auto pattern : {ReportMaker::Pattern::Count, ReportMaker::Pattern::Wave}) {
        const ReportMaker maker({telemetry, command}, pattern, QStringLiteral("a long product string"));
        QCOMPARE(maker.telemetry(12345, 1.5).size(), 64);
        QCOMPARE(maker.answer(request(3, QByteArray(62, 'z'))).size(), 64);
    }
}

void VhidReportsTest::answerEchoesRequestValuesByName()
{
    const ReportMaker maker({describe(thresholdJson)}, ReportMaker::Pattern::Count, QStringLiteral("VM"));
    // channel 9, threshold 0x0abc, serial all bits set, wide 0x0123.
    const QByteArray payload = QByteArray::fromHex("09bc0a" "ffffffffffffffff" "2301");
    const QByteArray answer = maker.answer(request(2, payload));
    QCOMPARE(answer.size(), 64);
    QCOMPARE(int(answer[0]), 1);
    QCOMPARE(int(answer[1]), 2);
    // The same type travels byte for byte (a uint64 would lose bits through a double); a
    // narrower answer field takes the value as a number (0x123 saturates to 0xff); a field
    // without a request value of its name gets its position plus one.
    QCOMPARE(answer.mid(2, 13).toHex(), QByteArray("09bc0a" "ffffffffffffffff" "ff" "05"));
}

void VhidReportsTest::answerEchoesAStringRequest()
{
    const ReportMaker maker({describe(nameJson)}, ReportMaker::Pattern::Count, QStringLiteral("VM"));
    const QByteArray answer = maker.answer(request(4, "bench-7"));
    const FieldCodec::Field field = FieldCodec::read(answer, 2, TypeString);
    QCOMPARE(FieldCodec::text(field, ViewStr, answer, 2, TypeString), QStringLiteral("bench-7"));
}

void VhidReportsTest::answerWithoutEchoGivesPlainValues()
{
    const ReportMaker maker({describe(versionJson)}, ReportMaker::Pattern::Count, QStringLiteral("Tolvex VM"));
    const QByteArray answer = maker.answer(request(1, {}));
    const FieldCodec::Field field = FieldCodec::read(answer, 2, TypeString);
    QCOMPARE(FieldCodec::text(field, ViewStr, answer, 2, TypeString), QStringLiteral("Tolvex VM"));
}

void VhidReportsTest::answerFindsItsCommandByIdByte_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("idByte");
    QTest::addColumn<QByteArray>("payload"); // empty: no answer

    const QString fiveA = R"({"id": 5, "in": [{"type": "uint8"}]})";
    const QString fiveB = R"({"id": 5, "in": [{"type": "uint8"}, {"type": "uint8"}]})";
    const QString high = R"({"id": 261, "in": [{"type": "uint16"}]})";
    const QString telemetry = R"({"id": 0, "in": [{"type": "uint8"}]})";

    QTest::newRow("exact id") << QStringList{fiveA} << 5 << QByteArray("01");
    QTest::newRow("later entry of one id wins") << QStringList{fiveA, fiveB} << 5 << QByteArray("0102");
    QTest::newRow("id sent as its low 8 bits") << QStringList{high} << 5 << QByteArray("0100");
    QTest::newRow("exact id before low bits") << QStringList{fiveA, high} << 5 << QByteArray("01");
    QTest::newRow("unknown id") << QStringList{fiveA} << 6 << QByteArray();
    QTest::newRow("telemetry is no command") << QStringList{telemetry} << 0 << QByteArray();
}

void VhidReportsTest::answerFindsItsCommandByIdByte()
{
    QFETCH(QStringList, entries);
    QFETCH(int, idByte);
    QFETCH(QByteArray, payload);
    QVector<CommandDescription> descriptions;
    for (const QString &entry : entries)
        descriptions.append(describe(entry.toUtf8().constData()));
    const ReportMaker maker(descriptions, ReportMaker::Pattern::Count, QStringLiteral("VM"));

    const QByteArray answer = maker.answer(request(idByte, {}));
    if (payload.isEmpty()) {
        QVERIFY(answer.isEmpty());
        return;
    }
    QCOMPARE(int(quint8(answer[1])), idByte);
    QCOMPARE(answer.mid(2, payload.size() / 2).toHex(), payload);
    QVERIFY(answer.mid(2 + payload.size() / 2).count('\0') == 62 - payload.size() / 2);
}

void VhidReportsTest::configurationThatCannotBeReadIsReported()
{
    QTemporaryDir dir;
    QVector<CommandDescription> descriptions;
    QString error;
    QVERIFY(!ReportMaker::loadDescriptions(dir.filePath(QStringLiteral("missing.json")), descriptions, &error));
    QVERIFY(error.contains(QStringLiteral("missing.json")));

    QFile broken(dir.filePath(QStringLiteral("broken.json")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("{\"commands\": [");
    broken.close();
    error.clear();
    QVERIFY(!ReportMaker::loadDescriptions(broken.fileName(), descriptions, &error));
    QVERIFY(!error.isEmpty());

    QVERIFY(ReportMaker::loadDescriptions(QStringLiteral(TOLVEX_VM_CONFIG), descriptions, &error));
    QCOMPARE(descriptions.size(), 3);
}

QTEST_GUILESS_MAIN(VhidReportsTest)
#include "tst_vhid_reports.moc"

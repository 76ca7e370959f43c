#include "dataparser.h"
#include "parserfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

// Decoding on the test's own thread: what the window reads after each report, and what the
// log files receive.
class DataParserTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void decodesTelemetryFields_data();
    void decodesTelemetryFields();
    void unknownIdIsRejected();
    void emptyInListAdvancesOnlyTheAbscissa();
    void plotWindowSlides();
    void plotWindowLengths_data();
    void plotWindowLengths();
    void resetRestartsThePlots();
    void shortAndOverlongReportsAreSafe();
    void fieldsPastThePayloadDecodeAsZero();
    void answersAreKeptInOrder();
    void logFilesGetOneLinePerTelemetryReport();
    void scriptsShapeNumAndPlotButNotRawViews();
    void scriptResultsAreLogged_data();
    void scriptResultsAreLogged();
    void everyValueKeepsItsFileAndEveryReportItsLine();
    void logFileNamesStayInTheWorkingDirectory_data();
    void logFileNamesStayInTheWorkingDirectory();

private:
    QTemporaryDir *workDir = nullptr;
    QString previousDir;
};

void DataParserTest::init()
{
    // Log files land in the working directory.
    previousDir = QDir::currentPath();
    workDir = new QTemporaryDir;
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void DataParserTest::cleanup()
{
    QDir::setCurrent(previousDir);
    delete workDir;
    workDir = nullptr;
}

void DataParserTest::decodesTelemetryFields_data()
{
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("three uint16")
        << QByteArray(R"({"id":0,"in":[{"name":"a","type":"uint16"},{"name":"b","type":"uint16","view":"hex"},
                                      {"name":"c","type":"uint16"}]})")
        << QByteArray("341234120100") << QStringList{"4660", "1234", "1"};
    QTest::newRow("int8 FF in every view")
        << QByteArray(R"({"id":0,"in":[{"type":"int8"},{"type":"int8","view":"hex"},{"type":"int8","view":"bin"}]})")
        << QByteArray("ffffff") << QStringList{"-1", "ff", "11111111"};
    QTest::newRow("float then double")
        << QByteArray(R"({"id":0,"in":[{"type":"float"},{"type":"float","view":"HEX"},{"type":"double","view":"hex"}]})")
        << QByteArray("0000c03f0000c03f000000000000f03f") << QStringList{"1.5", "3fc00000", "3ff0000000000000"};
    QTest::newRow("uint64 all ones, bool 02")
        << QByteArray(R"({"id":0,"in":[{"type":"uint64"},{"type":"bool"}]})")
        << QByteArray("ffffffffffffffff02") << QStringList{"1.84467e+19", "2"};
    QTest::newRow("int16 as str")
        << QByteArray(R"({"id":0,"in":[{"type":"int16","view":"str"}]})") << QByteArray("4100")
        << QStringList{"A"};
    QTest::newRow("string after nothing")
        << QByteArray(R"({"id":0,"in":[{"type":"string","view":"str"},{"type":"string"}]})")
        << QByteArray("414200") << QStringList{"AB", "0"};
    QTest::newRow("string and unknown show no borrowed bits")
        << QByteArray(R"({"id":0,"in":[{"type":"uint8"},{"type":"single","view":"hex"},{"type":"string","view":"bin"}]})")
        << QByteArray("ff") << QStringList{"255", "0", "0"};
    QTest::newRow("unknown type takes no room")
        << QByteArray(R"({"id":0,"in":[{"type":"nothing"},{"type":"uint8"}]})") << QByteArray("07")
        << QStringList{"0", "7"};
}

void DataParserTest::decodesTelemetryFields()
{
    QFETCH(QByteArray, description);
    QFETCH(QByteArray, payload);
    QFETCH(QStringList, texts);

    const CommandDescription telemetry = describe(description.constData());
    DataParser parser(telemetry, 10);
    parser.descriptions.insert(0, telemetry);
    const QByteArray report = reportOf(0, payload.constData());
    QVERIFY(parser.decodeReport(report));
    QCOMPARE(parser.values, texts);
    QCOMPARE(parser.lastId, 0);
    QCOMPARE(parser.lastReport, report);
    QVERIFY(parser.answers.isEmpty());
}

void DataParserTest::unknownIdIsRejected()
{
    const CommandDescription telemetry = describe(R"({"id":0,"in":[{"name":"a","type":"uint8"}]})");
    {
        DataParser parser(telemetry, 3);
        parser.descriptions.insert(0, telemetry);
        QVERIFY(parser.decodeReport(reportOf(0, "05")));

        const QByteArray unknown = reportOf(5, "09");
        QVERIFY(!parser.decodeReport(unknown));
        QCOMPARE(parser.lastId, 5);
        QCOMPARE(parser.lastReport, unknown);
        QVERIFY(parser.values.isEmpty());
        QCOMPARE(parser.xValues, (QList<double>{-3, -2, -1, 0}));
        QCOMPARE(parser.yValues.at(0), (QList<double>{0, 0, 0, 5}));
        QVERIFY(parser.answers.isEmpty());

        QVERIFY(parser.decodeReport(reportOf(0, "06")));
        QCOMPARE(parser.values, QStringList{"6"});
        QCOMPARE(parser.xValues, (QList<double>{-2, -1, 0, 1}));
    }
    QCOMPARE(linesOf("a.csv"), (QStringList{"", "", "", "5", "6"}));
}

void DataParserTest::emptyInListAdvancesOnlyTheAbscissa()
{
    const CommandDescription telemetry = describe(R"({"id":0,"in":[]})");
    DataParser parser(telemetry, 2);
    parser.descriptions.insert(0, telemetry);
    QVERIFY(parser.decodeReport(reportOf(0)));
    QVERIFY(parser.decodeReport(reportOf(0)));
    QVERIFY(parser.values.isEmpty());
    QVERIFY(parser.yValues.isEmpty());
    QCOMPARE(parser.xValues, (QList<double>{-1, 0, 1}));
    QCOMPARE(parser.sampleCounter, quint64(2));
}

void DataParserTest::plotWindowSlides()
{
    const CommandDescription telemetry =
        describe(R"({"id":0,"in":[{"name":"a","type":"uint8"},{"name":"b","type":"int8"}]})");
    DataParser parser(telemetry, 3);
    parser.descriptions.insert(0, telemetry);
    QCOMPARE(parser.xValues, (QList<double>{-3, -2, -1}));
    QCOMPARE(parser.yValues, (QList<QList<double>>{{0, 0, 0}, {0, 0, 0}}));

    parser.decodeReport(reportOf(0, "0aff"));
    QCOMPARE(parser.xValues, (QList<double>{-3, -2, -1, 0}));
    QCOMPARE(parser.yValues, (QList<QList<double>>{{0, 0, 0, 10}, {0, 0, 0, -1}}));

    parser.decodeReport(reportOf(0, "0bfe"));
    QCOMPARE(parser.xValues, (QList<double>{-2, -1, 0, 1}));
    QCOMPARE(parser.yValues, (QList<QList<double>>{{0, 0, 10, 11}, {0, 0, -1, -2}}));
}

void DataParserTest::plotWindowLengths_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("prefilled");
    QTest::addColumn<int>("heldAfterFlow");

    QTest::newRow("1000") << 1000 << 1000 << 1001;
    QTest::newRow("zero holds only the latest sample") << 0 << 0 << 1;
    QTest::newRow("negative behaves as zero") << -5 << 0 << 1;
}

void DataParserTest::plotWindowLengths()
{
    QFETCH(int, count);
    QFETCH(int, prefilled);
    QFETCH(int, heldAfterFlow);

    const CommandDescription telemetry = describe(R"({"id":0,"in":[{"name":"a","type":"uint8"}]})");
    DataParser parser(telemetry, count);
    parser.descriptions.insert(0, telemetry);
    QCOMPARE(parser.xValues.size(), prefilled);
    QCOMPARE(parser.yValues.at(0).size(), prefilled);
    for (int i = 0; i < 5; ++i)
        QVERIFY(parser.decodeReport(reportOf(0, "2a")));
    QCOMPARE(parser.xValues.size(), heldAfterFlow);
    QCOMPARE(parser.yValues.at(0).size(), heldAfterFlow);
    QCOMPARE(parser.xValues.last(), 4.0);
    QCOMPARE(parser.yValues.at(0).last(), 42.0);
}

void DataParserTest::resetRestartsThePlots()
{
    const CommandDescription telemetry = describe(R"({"id":0,"in":[{"name":"a","type":"uint8"}]})");
    DataParser parser(telemetry, 1000);
    parser.descriptions.insert(0, telemetry);
    for (int i = 0; i < 1500; ++i)
        parser.decodeReport(reportOf(0, "01"));
    parser.resetPlotData();
    QCOMPARE(parser.xValues, range(-1000, -1));
    QCOMPARE(parser.yValues.at(0), QVector<double>(1000, 0.0).toList());
    QCOMPARE(parser.sampleCounter, quint64(0));

    parser.decodeReport(reportOf(0, "03"));
    QCOMPARE(parser.xValues.size(), 1001);
    QCOMPARE(parser.xValues.last(), 0.0);
    QCOMPARE(parser.yValues.at(0).last(), 3.0);
}

void DataParserTest::shortAndOverlongReportsAreSafe()
{
    const CommandDescription telemetry =
        describe(R"({"id":0,"in":[{"name":"a","type":"uint8"},{"name":"b","type":"uint32","view":"str"}]})");
    DataParser parser(telemetry, 2);
    parser.descriptions.insert(0, telemetry);

    // Header and the first field only: the second decodes as 0 and shows the bytes present.
    QVERIFY(parser.decodeReport(QByteArray::fromHex("0100074142")));
    QCOMPARE(parser.values, (QStringList{"7", "AB"}));
    QCOMPARE(parser.yValues.at(1).last(), 0.0);

    // No id byte: nothing to decode it by.
    QVERIFY(!parser.decodeReport(QByteArray()));
    QVERIFY(!parser.decodeReport(QByteArray(1, '\0')));
    QCOMPARE(parser.lastId, -1);
    QVERIFY(parser.values.isEmpty());

    // Bytes past the 64th are not part of the report.
    QByteArray overlong = reportOf(0, "09");
    overlong += QByteArray(16, 'z');
    QVERIFY(parser.decodeReport(overlong));
    QCOMPARE(parser.lastReport.size(), 64);
    QCOMPARE(parser.values.at(0), QStringLiteral("9"));
}

void DataParserTest::fieldsPastThePayloadDecodeAsZero()
{
    // Eight doubles need 64 bytes; only seven fit after the header, and a string must start
    // at the first payload byte to fit.
    QByteArray in;
    for (int i = 0; i < 8; ++i)
        in += R"({"type":"double"},)";
    in += R"({"type":"string","view":"str"})";
    const CommandDescription telemetry = describe("{\"id\":0,\"in\":[" + in + "]}");
    DataParser parser(telemetry, 1);
    parser.descriptions.insert(0, telemetry);

    QByteArray report = reportOf(0);
    for (int i = 0; i < 7; ++i)
        report.replace(2 + 8 * i, 8, QByteArray::fromHex("000000000000f03f"));
    QVERIFY(parser.decodeReport(report));
    QCOMPARE(parser.values.size(), 9);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(parser.values.at(i), QStringLiteral("1"));
    QCOMPARE(parser.values.at(7), QStringLiteral("0"));
    QCOMPARE(parser.values.at(8), QString());
    QCOMPARE(parser.yValues.at(7).last(), 0.0);
}

void DataParserTest::answersAreKeptInOrder()
{
    const CommandDescription telemetry = describe(R"({"id":0,"in":[{"name":"t","type":"uint8"}]})");
    const CommandDescription command =
        describe(R"({"id":5,"in":[{"name":"channel","type":"uint8"},{"name":"threshold","type":"uint16","view":"hex"}]})");
    DataParser parser(telemetry, 3);
    parser.descriptions.insert(0, telemetry);
    parser.descriptions.insert(5, command);

    const QByteArray first = reportOf(5, "071f00");
    const QByteArray second = reportOf(5, "08ff01");
    QVERIFY(parser.decodeReport(first));
    QVERIFY(parser.decodeReport(reportOf(0, "01")));
    QVERIFY(parser.decodeReport(second));
    QVERIFY(!parser.decodeReport(reportOf(9, "01")));

    QCOMPARE(parser.answers.size(), 2);
    const DecodedAnswer a = parser.answers.dequeue();
    QCOMPARE(a.id, 5);
    QCOMPARE(a.values, (QStringList{"7", "1f"}));
    QCOMPARE(a.report, first);
    const DecodedAnswer b = parser.answers.dequeue();
    QCOMPARE(b.values, (QStringList{"8", "1ff"}));
    QCOMPARE(b.report, second);
    // Answers leave the plots and the sample numbers alone.
    QCOMPARE(parser.xValues, (QList<double>{-3, -2, -1, 0}));
}

void DataParserTest::logFilesGetOneLinePerTelemetryReport()
{
    const CommandDescription telemetry =
        describe(R"({"id":0,"in":[{"name":"a","type":"uint8","view":"hex"},{"name":"b","type":"int16"}]})");
    const CommandDescription command = describe(R"({"id":3,"in":[{"name":"a","type":"uint8"}]})");
    {
        DataParser parser(telemetry, 10);
        parser.descriptions.insert(0, telemetry);
        parser.descriptions.insert(3, command);
        // The files exist, with their three empty lines, as soon as the parser does.
        QCOMPARE(linesOf("a.csv"), (QStringList{"", "", ""}));
        QCOMPARE(linesOf("b.csv"), (QStringList{"", "", ""}));

        parser.decodeReport(reportOf(0, "ff0100"));
        parser.decodeReport(reportOf(3, "09"));
        parser.decodeReport(reportOf(0, "0afeff"));
    }
    QCOMPARE(linesOf("a.csv"), (QStringList{"", "", "", "ff", "a"}));
    QCOMPARE(linesOf("b.csv"), (QStringList{"", "", "", "1", "-2"}));

    // A second run appends after three more empty lines.
    {
        DataParser parser(telemetry, 10);
        parser.descriptions.insert(0, telemetry);
        parser.decodeReport(reportOf(0, "010000"));
    }
    QCOMPARE(linesOf("a.csv"), (QStringList{"", "", "", "ff", "a", "", "", "", "1"}));
}

void DataParserTest::scriptsShapeNumAndPlotButNotRawViews()
{
    const CommandDescription telemetry = describe(R"({"id":0,"in":[
        {"name":"n","type":"uint8","script":"x * 2"},
        {"name":"h","type":"uint8","view":"hex","script":"x * 2"},
        {"name":"s","type":"int16","view":"str","script":"x * 2"}]})");
    DataParser parser(telemetry, 1);
    parser.descriptions.insert(0, telemetry);
    QVERIFY(parser.decodeReport(reportOf(0, "15154100")));
    QCOMPARE(parser.values, (QStringList{"42", "15", "A"}));
    QCOMPARE(parser.yValues.at(0).last(), 42.0);
    QCOMPARE(parser.yValues.at(1).last(), 42.0);
    QCOMPARE(parser.yValues.at(2).last(), 130.0);
}

void DataParserTest::scriptResultsAreLogged_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("logged");

    QTest::newRow("x*2 on 21") << "x*2" << QStringList{"42", "42", "42"};
    QTest::newRow("syntax error") << "x +* 2" << QStringList{"nan", "nan", "nan"};
    QTest::newRow("global counter")
        << "n = (typeof n == 'undefined' ? 0 : n) + 1; n" << QStringList{"1", "2", "3"};
    QTest::newRow("throw 1") << "throw 1" << QStringList{"nan", "nan", "nan"};
    QTest::newRow("non-numeric result") << "'abc'" << QStringList{"nan", "nan", "nan"};
    QTest::newRow("true") << "x > 0" << QStringList{"1", "1", "1"};
    QTest::newRow("thrown object with a value")
        << "throw {valueOf: function () { return 5; }}" << QStringList{"nan", "nan", "nan"};
    QTest::newRow("symbol") << "Symbol()" << QStringList{"nan", "nan", "nan"};
}

void DataParserTest::scriptResultsAreLogged()
{
    QFETCH(QString, script);
    QFETCH(QStringList, logged);

    QJsonObject parameter{{"name", "v"}, {"type", "uint8"}, {"script", script}};
    QJsonObject entry{{"id", 0}, {"in", QJsonArray{parameter}}};
    const CommandDescription telemetry(entry);
    {
        DataParser parser(telemetry, 5);
        parser.descriptions.insert(0, telemetry);
        for (int i = 0; i < logged.size(); ++i)
            QVERIFY(parser.decodeReport(reportOf(0, "15")));
        QCOMPARE(parser.values.at(0), logged.last());
        if (logged.last() == QLatin1String("nan"))
            QVERIFY(std::isnan(parser.yValues.at(0).last()));
    }
    QCOMPARE(linesOf("v.csv"), (QStringList{"", "", ""} + logged));
}

void DataParserTest::everyValueKeepsItsFileAndEveryReportItsLine()
{
    // Two values of one name, and a value already named like the second one's file.
    const CommandDescription telemetry = describe(R"({"id":0,"in":[
        {"name":"t","type":"uint8"},{"name":"t","type":"uint8"},{"name":"t_2","type":"uint8"},
        {"name":"s","type":"string","view":"str"}]})");
    QCOMPARE(DataParser::logFileNames(telemetry.inNames),
             (QStringList{"t.csv", "t_2.csv", "t_2_2.csv", "s.csv"}));
    {
        DataParser parser(telemetry, 1);
        parser.descriptions.insert(0, telemetry);
        // The text "a<CR><LF>b<LF>c" in the string.
        parser.decodeReport(reportOf(0, "010203610d0a620a63"));
        parser.decodeReport(reportOf(0, "040506"));
    }
    QCOMPARE(linesOf("t.csv"), (QStringList{"", "", "", "1", "4"}));
    QCOMPARE(linesOf("t_2.csv"), (QStringList{"", "", "", "2", "5"}));
    QCOMPARE(linesOf("t_2_2.csv"), (QStringList{"", "", "", "3", "6"}));
    QCOMPARE(linesOf("s.csv"), (QStringList{"", "", "", "a  b c", ""}));
}

void DataParserTest::logFileNamesStayInTheWorkingDirectory_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("ordinary") << "temperature" << "temperature.csv";
    QTest::newRow("spaces and dots kept") << "t. 1 (°C)" << "t. 1 (°C).csv";
    QTest::newRow("parent directory") << "../escape" << ".._escape.csv";
    QTest::newRow("absolute path") << "/tmp/x" << "_tmp_x.csv";
    QTest::newRow("backslashes") << "..\\..\\win" << ".._.._win.csv";
    QTest::newRow("dots only") << ".." << "...csv";
}

void DataParserTest::logFileNamesStayInTheWorkingDirectory()
{
    QFETCH(QString, name);
    QFETCH(QString, fileName);

    QCOMPARE(DataParser::logFileName(name), fileName);

    // The file really is created here, and nowhere above.
    QDir::current().mkdir(QStringLiteral("inner"));
    QDir::setCurrent(QStringLiteral("inner"));
    QJsonObject entry{{"id", 0}, {"in", QJsonArray{QJsonObject{{"name", name}, {"type", "uint8"}}}}};
    const CommandDescription telemetry(entry);
    {
        DataParser parser(telemetry, 1);
        parser.descriptions.insert(0, telemetry);
        parser.decodeReport(reportOf(0, "01"));
    }
    QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{fileName});
    QCOMPARE(QDir(workDir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(linesOf(fileName), (QStringList{"", "", "", "1"}));
}

QTEST_GUILESS_MAIN(DataParserTest)
#include "tst_dataparser.moc"

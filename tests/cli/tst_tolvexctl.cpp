// tolvexctl run as a shell would run it, on the simulated device: what each subcommand prints
// and the exit status a script tests.

#include "recordingreader.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

// Telemetry: a counter doubled by its script, the same count in hex, a value whose name needs
// quoting in CSV. One command whose answer echoes its request fields and adds a third value.
const char configText[] = R"({
  "settings": { "maxPlotXPoints": 10, "maxConsoleLines": 10 },
  "commands": [
    { "name": "Telemetry", "id": 0, "in": [
        { "name": "counter", "type": "uint32", "script": "x * 2" },
        { "name": "count", "type": "uint64", "view": "hex", "units": "n" },
        { "name": "level, raw", "type": "uint16", "units": "mV" } ] },
    { "name": "Set threshold", "id": 2,
      "out": [ { "name": "channel", "type": "uint8", "default": "1" },
               { "name": "threshold", "type": "uint16", "view": "hex", "default": "1F" } ],
      "in": [ { "name": "channel", "type": "uint8" },
              { "name": "threshold", "type": "uint16", "view": "hex" },
              { "name": "extra", "type": "int16" } ] }
  ]
})";

struct Run
{
    int status = -1;
    QStringList lines; // standard output
    QString errors;    // standard error
};

const QRegularExpression timestamp(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)"));

} // namespace

class TestTolvexctl : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString config;

    // outputFile: where standard output goes instead of being read (/dev/full). environment:
    // added to the test's own (TZ=...).
    Run run(const QStringList &arguments, bool withConfig = true, const QString &outputFile = QString(),
            const QStringList &environment = {})
    {
        QProcess process;
        if (!outputFile.isEmpty())
            process.setStandardOutputFile(outputFile);
        if (!environment.isEmpty())
            process.setEnvironment(QProcess::systemEnvironment() + environment);
        process.start(QStringLiteral(TOLVEXCTL),
                      withConfig ? QStringList{QStringLiteral("--config"), config} + arguments : arguments);
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

    QString writeFile(const QString &name, const QByteArray &text)
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(file.fileName()));
        file.write(text);
        return file.fileName();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        config = writeFile(QStringLiteral("test.json"), configText);
    }

    void listNamesDevicesAndChoosesByTagOrPath()
    {
        const Run all = run({QStringLiteral("list"), QStringLiteral("--sim"), QStringLiteral("devices=2")});
        QCOMPARE(all.status, 0);
        QCOMPARE(all.lines.size(), 2);
        const QStringList second = all.lines.at(1).split(QLatin1Char('\t'));
        QCOMPARE(second.size(), 3);
        QCOMPARE(second.at(0), QStringLiteral("Tolvex demo"));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]+$")).match(second.at(1)).hasMatch());
        QCOMPARE(second.at(2), QStringLiteral("/sim/hidraw1"));

        for (const QString &choice : {second.at(1).toUpper(), second.at(2)}) {
            const Run one = run({QStringLiteral("list"), QStringLiteral("--sim"), QStringLiteral("devices=2"),
                                 QStringLiteral("--device"), choice});
            QCOMPARE(one.status, 0);
            QCOMPARE(one.lines, QStringList{all.lines.at(1)});
        }
        const Run none = run({QStringLiteral("list"), QStringLiteral("--sim"), QStringLiteral("devices=0")});
        QCOMPARE(none.status, 3);
        QVERIFY(none.lines.isEmpty());
        QVERIFY(none.errors.contains(QStringLiteral("no device")));
    }

    void watchPrintsEveryReportAsTheWindowShowsIt()
    {
        const Run csv = run({QStringLiteral("watch"), QStringLiteral("--simulate"), QStringLiteral("--count"),
                             QStringLiteral("50"), QStringLiteral("--sim"), QStringLiteral("rate=1000")});
        QCOMPARE(csv.status, 0);
        QCOMPARE(csv.lines.size(), 51);
        QCOMPARE(csv.lines.first(), QStringLiteral("time,counter,count (n),\"level, raw (mV)\""));
        for (int n = 0; n < 50; ++n) {
            const QStringList fields = csv.lines.at(n + 1).split(QLatin1Char(','));
            QCOMPARE(fields.size(), 4);
            QVERIFY2(timestamp.match(fields.at(0)).hasMatch(), qPrintable(fields.at(0)));
            // Report n: the counter after its script, and the raw count in hex; none skipped.
            QCOMPARE(fields.at(1), QString::number(2 * n));
            QCOMPARE(fields.at(2), QString::number(n, 16));
        }
        QCOMPARE(csv.lines.at(1).section(QLatin1Char(','), 3), QStringLiteral("1000"));

        const Run jsonl = run({QStringLiteral("watch"), QStringLiteral("--simulate"), QStringLiteral("--count"),
                               QStringLiteral("2"), QStringLiteral("--format"), QStringLiteral("jsonl")});
        QCOMPARE(jsonl.status, 0);
        QCOMPARE(jsonl.lines.size(), 2);
        const QJsonObject second = QJsonDocument::fromJson(jsonl.lines.at(1).toUtf8()).object();
        QVERIFY(timestamp.match(second.value(QStringLiteral("time")).toString()).hasMatch());
        const QJsonObject values = second.value(QStringLiteral("values")).toObject();
        QCOMPARE(values.value(QStringLiteral("counter")).toString(), QStringLiteral("2"));
        QCOMPARE(values.value(QStringLiteral("count")).toString(), QStringLiteral("1"));
        QVERIFY(values.contains(QStringLiteral("level, raw")));
    }

    void watchEndsByDurationOrSignalWithEveryLineWritten()
    {
        const Run timed = run({QStringLiteral("watch"), QStringLiteral("--sim"), QStringLiteral("rate=200"),
                               QStringLiteral("--duration"), QStringLiteral("0.5")});
        QCOMPARE(timed.status, 0);
        QVERIFY2(timed.lines.size() > 20, qPrintable(QString::number(timed.lines.size())));

        // Beyond what a millisecond timer counts (2^32 ms and a half second): it goes on.
        QProcess longRun;
        longRun.start(QStringLiteral(TOLVEXCTL), {QStringLiteral("--config"), config, QStringLiteral("watch"),
                                                  QStringLiteral("--simulate"), QStringLiteral("--duration"),
                                                  QStringLiteral("4294967.5")});
        QVERIFY(longRun.waitForStarted());
        QVERIFY(!longRun.waitForFinished(1500));
        QVERIFY2(longRun.readAllStandardError().isEmpty(), "a warning or an early end");
        longRun.kill();
        longRun.waitForFinished();

#ifdef Q_OS_UNIX
        QProcess process;
        process.start(QStringLiteral(TOLVEXCTL), {QStringLiteral("--config"), config, QStringLiteral("watch"),
                                                  QStringLiteral("--simulate")});
        QVERIFY(process.waitForStarted());
        QByteArray printed;
        QTRY_VERIFY_WITH_TIMEOUT((printed += process.readAllStandardOutput()).count('\n') > 2, 20000);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        // Everything printed ends with a whole line.
        printed += process.readAllStandardOutput();
        QVERIFY(printed.endsWith('\n'));
#endif
    }

    void sendPrintsTheAnswer()
    {
        const Run text = run({QStringLiteral("send"), QStringLiteral("--simulate"), QStringLiteral("Set threshold"),
                              QStringLiteral("threshold=ff")});
        QCOMPARE(text.status, 0);
        QCOMPARE(text.lines, (QStringList{"channel=1", "threshold=ff", "extra=44"}));

        const Run json = run({QStringLiteral("send"), QStringLiteral("--simulate"), QStringLiteral("2"),
                              QStringLiteral("channel=7"), QStringLiteral("--format"), QStringLiteral("jsonl")});
        QCOMPARE(json.status, 0);
        QCOMPARE(json.lines.size(), 1);
        const QJsonObject answer = QJsonDocument::fromJson(json.lines.first().toUtf8()).object();
        QCOMPARE(answer.value(QStringLiteral("command")).toString(), QStringLiteral("Set threshold"));
        QCOMPARE(answer.value(QStringLiteral("values")).toObject().value(QStringLiteral("channel")).toString(),
                 QStringLiteral("7"));
        QCOMPARE(answer.value(QStringLiteral("values")).toObject().value(QStringLiteral("threshold")).toString(),
                 QStringLiteral("1f"));
    }

    void refusedValuesSendNothing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("says");
        QTest::newRow("not hex") << "threshold=zz" << R"(field "threshold" (uint16, hex) takes 0..ffff, not "zz")";
        QTest::newRow("too large") << "threshold=1FFFF" << R"(field "threshold" (uint16, hex) takes 0..ffff, not "1FFFF")";
        QTest::newRow("beyond uint8") << "channel=300" << R"(field "channel" (uint8, num) takes 0..255, not "300")";
        QTest::newRow("0x in num") << "channel=0x10" << R"(field "channel" (uint8, num) takes 0..255, not "0x10")";
        QTest::newRow("empty") << "channel=" << R"(field "channel" (uint8, num) has no value; it takes 0..255)";
    }
    void refusedValuesSendNothing()
    {
        QFETCH(QString, field);
        QFETCH(QString, says);
        // The simulated device answers every request: no answer printed means none was sent.
        const Run result = run({QStringLiteral("send"), QStringLiteral("--simulate"), QStringLiteral("2"), field});
        QCOMPARE(result.status, 2);
        QCOMPARE(result.lines, QStringList());
        QVERIFY2(result.errors.contains(says), qPrintable(result.errors));
    }

    void failuresHaveTheirOwnExitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown subcommand") << QStringList{"frobnicate"} << 2 << "unknown subcommand";
        QTest::newRow("bad format") << QStringList{"watch", "--simulate", "--format", "xml"} << 2 << "--format";
        QTest::newRow("bad count") << QStringList{"watch", "--simulate", "--count", "0"} << 2 << "--count";
        QTest::newRow("duration beyond ten years") << QStringList{"watch", "--simulate", "--duration", "315576001"} << 2
                                                   << "--duration wants a number of seconds, at most 315576000";
        QTest::newRow("field without value") << QStringList{"send", "--simulate", "2", "channel"} << 2 << "FIELD=VALUE";
        QTest::newRow("no device") << QStringList{"send", "--sim", "devices=0", "2"} << 3 << "no device";
        QTest::newRow("device not there") << QStringList{"watch", "--simulate", "--device", "/sim/hidraw9"} << 3
                                          << "no device /sim/hidraw9";
#ifdef Q_OS_WIN
        QTest::newRow("no permission") << QStringList{"watch", "--sim", "open=fail"} << 4 << "another program may hold it";
#else
        QTest::newRow("no permission") << QStringList{"watch", "--sim", "open=fail"} << 4 << "70-tolvex-client.rules";
#endif
        QTest::newRow("no answer") << QStringList{"send", "--sim", "answers=off", "2", "--timeout", "200"} << 5
                                   << "no answer";
        QTest::newRow("unknown command") << QStringList{"send", "--simulate", "Reboot"} << 6 << "no command \"Reboot\"";
        QTest::newRow("unknown field") << QStringList{"send", "--simulate", "2", "gain=1"} << 6 << "no field \"gain\"";
        QTest::newRow("device pulled out") << QStringList{"watch", "--sim", "unplug-after=300"} << 7 << "is gone";
        QTest::newRow("device back under its path at once")
            << QStringList{"watch", "--sim", "unplug-after=300", "--sim", "replug-after=0"} << 7 << "is gone";
    }
    void failuresHaveTheirOwnExitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, says);
        const Run result = run(arguments);
        QCOMPARE(result.status, status);
        QVERIFY2(result.errors.contains(says), qPrintable(result.errors));
    }

    void watchFollowsTheDeviceBack_data()
    {
        QTest::addColumn<QString>("replug");
        QTest::newRow("unplugged, plugged in again") << "replug-after=300";
        QTest::newRow("back under its path at once") << "replug-after=0";
    }
    void watchFollowsTheDeviceBack()
    {
        QFETCH(QString, replug);
        // 100 reports a second: the count is reached only well after the device came back.
        const Run result = run({QStringLiteral("watch"), QStringLiteral("--follow"), QStringLiteral("--count"),
                                QStringLiteral("80"), QStringLiteral("--sim"), QStringLiteral("unplug-after=300"),
                                QStringLiteral("--sim"), replug});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.lines.size(), 81);
        const QString gone = QStringLiteral("is gone; waiting for it to come back");
        const QString back = QStringLiteral("is back");
        QVERIFY2(result.errors.count(gone) == 1 && result.errors.count(back) == 1, qPrintable(result.errors));
        QVERIFY(result.errors.indexOf(gone) < result.errors.indexOf(back));
    }

    void recordFollowsTheDeviceBackWithItsGap_data() { watchFollowsTheDeviceBack_data(); }
    void recordFollowsTheDeviceBackWithItsGap()
    {
        QFETCH(QString, replug);
        const QString recording = dir.filePath(QStringLiteral("followed.tvxr"));
        const Run result = run({QStringLiteral("record"), recording, QStringLiteral("--follow"),
                                QStringLiteral("--count"), QStringLiteral("80"), QStringLiteral("--sim"),
                                QStringLiteral("unplug-after=300"), QStringLiteral("--sim"), replug});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.errors.contains(QStringLiteral("recorded 80 reports")), qPrintable(result.errors));
        // Every report the run counted, and the gap between them: no device, then the device again.
        RecordingReader reader;
        QVERIFY2(reader.open(recording), qPrintable(reader.errorString()));
        QStringList devices;
        int reports = 0;
        RecordingReader::Record record;
        while (reader.next(record)) {
            if (record.kind == RecordingFormat::RecordKind::Report) {
                ++reports;
            } else if (record.kind == RecordingFormat::RecordKind::Device) {
                QString product, path;
                RecordingFormat::decodeDevice(record.data, &product, &path);
                devices << path;
            }
        }
        QCOMPARE(reader.status(), RecordingReader::Status::Ok);
        QCOMPARE(reports, 80);
        QCOMPARE(devices, (QStringList{QString(), reader.header().path}));
    }

#ifdef Q_OS_UNIX
    void outputThatCannotBeWrittenIsAFailureAndSaysSo()
    {
        const QString recording = dir.filePath(QStringLiteral("full.tvxr"));
        QCOMPARE(run({QStringLiteral("record"), recording, QStringLiteral("--count"), QStringLiteral("700"),
                      QStringLiteral("--sim"), QStringLiteral("rate=5000")}).status, 0);
        // Cut off by a crash, which alone ends decode with status 0.
        const QString cut = dir.filePath(QStringLiteral("full-cut.tvxr"));
        QVERIFY(QFile::copy(recording, cut));
        QFile cutFile(cut);
        QVERIFY(cutFile.resize(cutFile.size() - 3));

        const QList<QStringList> commands = {
            {"list", "--simulate"},
            {"check-config"},
            {"watch", "--simulate", "--count", "3"},
            {"send", "--simulate", "2"},
            {"decode", recording},
            {"decode", cut},
        };
        for (const QStringList &arguments : commands) {
            const Run full = run(arguments, true, QStringLiteral("/dev/full"));
            QVERIFY2(full.status == 1,
                     qPrintable(arguments.join(' ') + QStringLiteral(": status %1").arg(full.status)));
            QVERIFY2(full.errors.contains(QStringLiteral("cannot write standard output: No space left on device")),
                     qPrintable(arguments.join(' ') + QStringLiteral(": ") + full.errors));
        }

        // A reader that goes away after the first line: `watch | head -1`.
        QProcess process;
        QProcess head;
        process.setStandardOutputProcess(&head);
        head.start(QStringLiteral("head"), {QStringLiteral("-1")});
        process.start(QStringLiteral(TOLVEXCTL), {QStringLiteral("--config"), config, QStringLiteral("watch"),
                                                  QStringLiteral("--simulate")});
        QVERIFY(head.waitForFinished(20000));
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("cannot write standard output: Broken pipe"));
    }
#endif

    void checkConfigNamesEveryProblem()
    {
        const Run clean = run({QStringLiteral("check-config")});
        QCOMPARE(clean.status, 0);
        QVERIFY(clean.lines.first().contains(QStringLiteral("no problems")));

        const QString broken = writeFile(QStringLiteral("broken.json"), "{\n  \"commands\": [\n    {\"id\": 1,,}\n  ]\n}");
        const Run syntax = run({QStringLiteral("check-config"), broken}, false);
        QCOMPARE(syntax.status, 8);
        QCOMPARE(syntax.lines.size(), 1);
        QVERIFY2(syntax.lines.first().startsWith(broken + QStringLiteral(":3:15: ")), qPrintable(syntax.lines.first()));

        const QString defaults = writeFile(QStringLiteral("defaults.json"), R"({
            "settings": { "maxPlotXPoints": "1000", "language": "de" },
            "commands": [ { "name": "T", "id": 0, "in": [ { "type": "single" } ] } ] })");
        const QString tooManyPoints = writeFile(QStringLiteral("points.json"), R"({
            "settings": { "maxPlotXPoints": 2147483000, "maxConsoleLines": 0 }, "commands": [] })");
        const Run points = run({QStringLiteral("check-config"), tooManyPoints}, false);
        QCOMPARE(points.status, 8);
        QCOMPARE(points.lines, QStringList{tooManyPoints + QStringLiteral(": settings.maxPlotXPoints: 2147483000 is "
                                                                          "more than the plots hold (1000000 points), "
                                                                          "read as 1000000")});
        const Run fallbacks = run({QStringLiteral("--config"), defaults, QStringLiteral("check-config")}, false);
        QCOMPARE(fallbacks.status, 8);
        const QString all = fallbacks.lines.join(QLatin1Char('\n'));
        for (const char *where : {"settings.maxPlotXPoints: a string instead of a number, read as 0",
                                  "settings.maxConsoleLines: missing", "commands[0].in[0].name: missing, named",
                                  "commands[0].in[0].type: unknown type \"single\"",
                                  "settings.language: unknown language \"de\""})
            QVERIFY2(all.contains(QLatin1String(where)), qPrintable(all));

        const Run missing = run({QStringLiteral("check-config"), dir.filePath(QStringLiteral("none.json"))}, false);
        QCOMPARE(missing.status, 8);
        QVERIFY(missing.lines.first().contains(QStringLiteral("cannot open")));
    }

    // Every finding in the order of the file, each at its key path, to the character.
    void checkConfigFindingsFollowTheFile()
    {
        const QString file = writeFile(QStringLiteral("entries.json"), R"({
            "settings": { "maxPlotXPoints": 10, "maxConsoleLines": -1, "plotTimeAxis": "yes" },
            "commands": [
              7,
              { "name": 3, "id": 2.5, "in": {} },
              { "name": "Wide", "id": 300, "in": [ "x", { "type": "uint8", "view": "Dec", "default": "1" } ] },
              { "name": "Set", "id": 44,
                "out": [ { "name": "a", "type": "string", "script": "x", "default": 5 },
                         { "name": "b", "type": "int8", "view": "HEX", "units": 1, "default": "1ff" } ] },
              { "name": "Again", "id": 44 } ] })");
        const Run checked = run({QStringLiteral("check-config"), file}, false);
        QCOMPARE(checked.status, 8);
        QStringList expected{
            "settings.maxConsoleLines: negative, the console has no line limit",
            "settings.plotTimeAxis: a string instead of a boolean, read as false",
            "commands[0]: a number instead of an object, read as a nameless command with id -1",
            "commands[1].name: a number instead of a string, the name is empty",
            "commands[1].id: 2.5 is not a whole number, read as 2",
            "commands[1].in: an object instead of an array, no fields",
            "commands[2].id: 300 is outside 0..255: requests travel as id byte 44 and answers are never decoded",
            "commands[2].in[0]: a string instead of an object, read as \"Unknown_param_300\" of unknown type",
            "commands[2].in[1].name: missing, named \"Unknown_param_301\"",
            "commands[2].in[1].view: unknown view \"Dec\", shown as num",
            "commands[2].in[1].default: ignored: answer and telemetry fields have no default",
            "commands[3].out[0].default: a number instead of a string, the default is empty",
            "commands[3].out[0].script: ignored: request fields have no script",
            "commands[3].out[1].units: a number instead of a string, no units",
            "commands[3].out[1].default: \"1ff\" is refused (the field takes 0..ff or -80..-1): a request that "
            "leaves it is not sent",
            "commands[3].out: the fields take 63 bytes, more than the 62 of a report: those past its end are not "
            "sent (a string clears the fields before it)",
            "commands[4].id: id 44 is also the id of commands[3]: answers to both are decoded by this entry"};
        for (QString &line : expected)
            line.prepend(file + QStringLiteral(": "));
        QCOMPARE(checked.lines, expected);
    }

    void recordThenDecodeWithAnotherConfiguration()
    {
        const QString recording = dir.filePath(QStringLiteral("session.tvxr"));
        const Run recorded = run({QStringLiteral("record"), recording, QStringLiteral("--count"),
                                  QStringLiteral("30"), QStringLiteral("--sim"), QStringLiteral("rate=500")});
        QCOMPARE(recorded.status, 0);
        QVERIFY2(recorded.errors.contains(QStringLiteral("recorded 30 reports")), qPrintable(recorded.errors));

        // Corrected afterwards: the counter's script triples, the count is shown in decimal.
        QByteArray corrected = configText;
        corrected.replace("\"x * 2\"", "\"x * 3\"");
        corrected.replace("\"view\": \"hex\", \"units\": \"n\"", "\"units\": \"n\"");
        const QString newConfig = writeFile(QStringLiteral("corrected.json"), corrected);
        const Run decoded = run({QStringLiteral("--config"), newConfig, QStringLiteral("decode"), recording}, false);
        QCOMPARE(decoded.status, 0);
        QCOMPARE(decoded.lines.size(), 31);
        QCOMPARE(decoded.lines.first(), QStringLiteral("time,elapsed_s,counter,count [n],\"level, raw [mV]\""));
        double previous = 0;
        for (int n = 0; n < 30; ++n) {
            const QStringList fields = decoded.lines.at(n + 1).split(QLatin1Char(','));
            QCOMPARE(fields.at(2), QString::number(3 * n));
            QCOMPARE(fields.at(3), QString::number(n));
            const double elapsed = fields.at(1).toDouble();
            QVERIFY(elapsed >= previous);
            previous = elapsed;
        }
        QCOMPARE(decoded.lines.at(1).section(QLatin1Char(','), 1, 1), QStringLiteral("0.000000"));

        // Times in the decoding machine's zone, with its offset: the instant they were recorded.
        const Run zoned = run({QStringLiteral("decode"), recording}, true, QString(), {QStringLiteral("TZ=XYZ-3")});
        QCOMPARE(zoned.status, 0);
        const QString firstTime = zoned.lines.at(1).section(QLatin1Char(','), 0, 0);
        QVERIFY2(QRegularExpression(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\+03:00$)"))
                     .match(firstTime).hasMatch(),
                 qPrintable(firstTime));
        const QDateTime firstInstant = QDateTime::fromString(firstTime, Qt::ISODateWithMs);
        QVERIFY(qAbs(firstInstant.msecsTo(QDateTime::currentDateTime())) < 60000);

        // Without a single record: the header line all the same.
        QFile file(recording);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray whole = file.readAll();
        file.close();
        const int headerEnd = 16 + int(qFromLittleEndian<quint32>(whole.constData() + 12)) + 2;
        const QString empty = writeFile(QStringLiteral("empty.tvxr"), whole.left(headerEnd));
        const Run emptyDecoded = run({QStringLiteral("decode"), empty});
        QCOMPARE(emptyDecoded.status, 0);
        QCOMPARE(emptyDecoded.lines,
                 QStringList{QStringLiteral("time,elapsed_s,counter,count [n],\"level, raw [mV]\"")});

        // Cut inside its last record, as by a crash: every complete record, and a note.
        QVERIFY(file.resize(file.size() - 3));
        const Run cut = run({QStringLiteral("decode"), recording});
        QCOMPARE(cut.status, 0);
        QCOMPARE(cut.lines.size(), 30);
        QVERIFY2(cut.errors.contains(QStringLiteral("cut off")), qPrintable(cut.errors));

        const Run foreign = run({QStringLiteral("decode"), config});
        QCOMPARE(foreign.status, 9);
        QVERIFY(foreign.lines.isEmpty());
        QVERIFY2(foreign.errors.contains(QStringLiteral("not a recording")), qPrintable(foreign.errors));
    }

    void helpAndVersion()
    {
        const Run help = run({QStringLiteral("--help")}, false);
        QCOMPARE(help.status, 0);
        for (const char *subcommand : {"list", "watch", "send", "record", "decode", "check-config"})
            QVERIFY(help.lines.join(QLatin1Char('\n')).contains(QLatin1String(subcommand)));
        const Run version = run({QStringLiteral("--version")}, false);
        QCOMPARE(version.status, 0);
        QCOMPARE(version.lines, QStringList{QStringLiteral("tolvexctl 1.7.0")});
    }
};

QTEST_GUILESS_MAIN(TestTolvexctl)
#include "tst_tolvexctl.moc"

#include "dataparser.h"
#include "parserfixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cmath>

namespace {

QByteArray counterReport(int id, quint32 n)
{
    QByteArray report = reportOf(id);
    for (int i = 0; i < 4; ++i)
        report[2 + i] = char((n >> (8 * i)) & 0xff);
    return report;
}

// Context switches of the thread with the given name, from /proc (Linux).
qint64 contextSwitchesOf(const QByteArray &threadName)
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != threadName)
            continue;
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        qint64 switches = 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.contains("ctxt_switches:"))
                switches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        return switches;
    }
    return -1;
}

} // namespace

// The parser on its own thread, as the window runs it.
class ParserThreadTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void burstIsDecodedInOrderWithNoneLost();
    void stopDecodesWhatIsQueuedFirst();
    void stopGivesUpOnABacklogInTime();
    void stopBeforeStartHasNoEffect();
    void stopRightAfterStartEndsTheThread();
    void logLinesReachTheFileWhileRunning();
    void runawayScriptDoesNotBlockClosing();
    void windowAlwaysSeesWholeReports();
    void idleParserDoesNotWakeUp();

private:
    // A parser of one uint32 telemetry value "n" and an answer with id 5, counting dataReady.
    DataParser *makeParser(const char *script = "");

    QTemporaryDir *workDir = nullptr;
    QString previousDir;
    std::atomic<int> announced{0};
};

void ParserThreadTest::init()
{
    previousDir = QDir::currentPath();
    workDir = new QTemporaryDir;
    QVERIFY(workDir->isValid());
    QVERIFY(QDir::setCurrent(workDir->path()));
    announced = 0;
}

void ParserThreadTest::cleanup()
{
    QDir::setCurrent(previousDir);
    delete workDir;
    workDir = nullptr;
}

DataParser *ParserThreadTest::makeParser(const char *script)
{
    QJsonObject parameter{{"name", "n"}, {"type", "uint32"}, {"script", QString::fromUtf8(script)}};
    const CommandDescription telemetry(QJsonObject{{"id", 0}, {"in", QJsonArray{parameter}}});
    auto *parser = new DataParser(telemetry, 100, this);
    parser->descriptions.insert(0, telemetry);
    parser->descriptions.insert(5, describe(R"({"id":5,"in":[{"name":"seq","type":"uint32"}]})"));
    connect(parser, &DataParser::dataReady, parser, [this] { ++announced; }, Qt::DirectConnection);
    return parser;
}

void ParserThreadTest::burstIsDecodedInOrderWithNoneLost()
{
    DataParser *parser = makeParser();
    parser->start();

    // Every tenth report is an answer; all are queued faster than they are decoded.
    const int count = 20000;
    for (int i = 0; i < count; ++i)
        parser->appendNewData(counterReport(i % 10 == 9 ? 5 : 0, quint32(i)));
    QTRY_COMPARE_WITH_TIMEOUT(announced.load(), count, 60000);

    {
        std::lock_guard<std::mutex> guard(parser->stateLock);
        QCOMPARE(parser->answers.size(), count / 10);
        for (int i = 0; i < parser->answers.size(); ++i)
            QCOMPARE(parser->answers.at(i).values, QStringList{QString::number(10 * i + 9)});
        QCOMPARE(parser->sampleCounter, quint64(count - count / 10));
    }
    parser->stopParsing();
    QVERIFY(parser->wait(5000));

    const QStringList lines = linesOf(QStringLiteral("n.csv"));
    QCOMPARE(lines.size(), 3 + count - count / 10);
    int line = 3;
    for (int i = 0; i < count; ++i) {
        if (i % 10 != 9)
            QCOMPARE(lines.at(line++), QString::number(i));
    }
    delete parser;
}

void ParserThreadTest::stopDecodesWhatIsQueuedFirst()
{
    DataParser *parser = makeParser();
    parser->start();
    {
        // Holding the state lock stalls the parser inside its first report.
        std::unique_lock<std::mutex> guard(parser->stateLock);
        for (int i = 0; i < 10; ++i)
            parser->appendNewData(counterReport(0, quint32(i)));
        QTRY_COMPARE(parser->queuedReports(), 9);
        parser->stopParsing();
    }
    QVERIFY(parser->wait(5000));
    QCOMPARE(announced.load(), 10);
    QCOMPARE(parser->queuedReports(), 0);
    QCOMPARE(parser->reportsDroppedAtStop(), 0);
    QCOMPARE(linesOf(QStringLiteral("n.csv")),
             (QStringList{"", "", "", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    delete parser;
}

void ParserThreadTest::stopGivesUpOnABacklogInTime()
{
    // Each report takes its script about 5 ms: the backlog would take 10 s.
    DataParser *parser = makeParser("var t = Date.now(); while (Date.now() - t < 5) {} x");
    const int count = 2000;
    for (int i = 0; i < count; ++i)
        parser->appendNewData(counterReport(0, quint32(i)));
    QElapsedTimer closing;
    closing.start();
    parser->start();
    parser->stopParsing();
    QVERIFY(parser->wait(10000));
    const qint64 closedMs = closing.elapsed();
    const qint64 limitMs = DataParser::stopDecodeLimit.count();
    QVERIFY2(closedMs >= limitMs && closedMs < limitMs + 3000, qPrintable(QString::number(closedMs)));

    // What was decoded is written, in order; what was not is counted.
    const int dropped = parser->reportsDroppedAtStop();
    QVERIFY(dropped > 0);
    QCOMPARE(announced.load() + dropped, count);
    const QStringList lines = linesOf(QStringLiteral("n.csv"));
    QCOMPARE(lines.size(), 3 + announced.load());
    QCOMPARE(lines.last(), QString::number(announced.load() - 1));
    delete parser;
}

void ParserThreadTest::stopBeforeStartHasNoEffect()
{
    DataParser *parser = makeParser();
    parser->stopParsing();
    parser->start();
    parser->appendNewData(counterReport(0, 7));
    QTRY_COMPARE(announced.load(), 1);
    QVERIFY(parser->isRunning());
    parser->stopParsing();
    QVERIFY(parser->wait(5000));
    delete parser;
}

void ParserThreadTest::stopRightAfterStartEndsTheThread()
{
    // The owner stops the parser as soon as the window closes, possibly before the thread has
    // begun to run: closing must never hang on it.
    for (int i = 0; i < 50; ++i) {
        DataParser *parser = makeParser();
        parser->start();
        parser->stopParsing();
        parser->quit();
        QVERIFY2(parser->wait(5000), qPrintable(QString::number(i)));
        delete parser;
    }
}

void ParserThreadTest::logLinesReachTheFileWhileRunning()
{
    DataParser *parser = makeParser();
    parser->start();
    parser->appendNewData(counterReport(0, 11));
    parser->appendNewData(counterReport(0, 12));

    // Within about a second (a busy test machine gets some slack), with the parser still
    // running and idle.
    QElapsedTimer timer;
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(linesOf(QStringLiteral("n.csv")),
                              (QStringList{"", "", "", "11", "12"}), 5000);
    QVERIFY(timer.elapsed() < 3000);
    QVERIFY(parser->isRunning());

    // Lines decoded just before the end are written by a normal exit.
    parser->appendNewData(counterReport(0, 13));
    QTRY_COMPARE(announced.load(), 3);
    parser->stopParsing();
    QVERIFY(parser->wait(5000));
    QCOMPARE(linesOf(QStringLiteral("n.csv")), (QStringList{"", "", "", "11", "12", "13"}));
    delete parser;
}

void ParserThreadTest::runawayScriptDoesNotBlockClosing()
{
    DataParser *parser = makeParser("while (true) {}");
    parser->start();
    for (int i = 0; i < 3; ++i)
        parser->appendNewData(counterReport(0, quint32(i)));
    QTRY_COMPARE_WITH_TIMEOUT(announced.load(), 3, 10000);
    {
        std::lock_guard<std::mutex> guard(parser->stateLock);
        QCOMPARE(parser->values, QStringList{"nan"});
        QVERIFY(std::isnan(parser->yValues.at(0).last()));
    }
    parser->stopParsing();
    QVERIFY(parser->wait(5000));
    QCOMPARE(linesOf(QStringLiteral("n.csv")), (QStringList{"", "", "", "nan", "nan", "nan"}));
    delete parser;
}

void ParserThreadTest::windowAlwaysSeesWholeReports()
{
    const CommandDescription telemetry = describe(R"({"id":0,"in":[
        {"name":"a","type":"uint8"},{"name":"b","type":"uint8","script":"x + 1"},{"name":"c","type":"uint8"}]})");
    auto *parser = new DataParser(telemetry, 50, this);
    parser->descriptions.insert(0, telemetry);
    connect(parser, &DataParser::dataReady, parser, [this] { ++announced; }, Qt::DirectConnection);
    parser->start();

    const int count = 3000;
    for (int i = 0; i < count; ++i) {
        const quint8 n = quint8(i);
        QByteArray report = reportOf(0);
        report[2] = char(n);
        report[3] = char(n);
        report[4] = char(n);
        parser->appendNewData(report);
        if (i % 100 == 50)
            parser->resetPlotData();
        std::lock_guard<std::mutex> guard(parser->stateLock);
        const int samples = parser->xValues.size();
        for (const QList<double> &plot : qAsConst(parser->yValues))
            QCOMPARE(plot.size(), samples);
        QVERIFY(samples == 50 || samples == 51);
        if (!parser->values.isEmpty()) {
            QCOMPARE(parser->values.size(), 3);
            QCOMPARE(parser->values.at(0), parser->values.at(2));
            QCOMPARE(parser->values.at(1).toInt(), parser->values.at(0).toInt() + 1);
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(announced.load(), count, 30000);
    parser->stopParsing();
    QVERIFY(parser->wait(5000));
    delete parser;
}

void ParserThreadTest::idleParserDoesNotWakeUp()
{
#ifndef Q_OS_LINUX
    QSKIP("Reads thread statistics from /proc");
#endif
    DataParser *parser = makeParser();
    parser->setObjectName(QStringLiteral("idleparser"));
    parser->start();
    parser->appendNewData(counterReport(0, 1));
    QTRY_COMPARE(announced.load(), 1);
    // Let the pending log line be written, then watch the idle thread.
    QTest::qWait(800);
    const qint64 before = contextSwitchesOf("idleparser");
    QVERIFY(before >= 0);
    QTest::qWait(500);
    const qint64 after = contextSwitchesOf("idleparser");
    QVERIFY2(after - before < 5, qPrintable(QStringLiteral("%1 wake-ups").arg(after - before)));
    parser->stopParsing();
    QVERIFY(parser->wait(5000));
    delete parser;
}

QTEST_GUILESS_MAIN(ParserThreadTest)
#include "tst_parserthread.moc"

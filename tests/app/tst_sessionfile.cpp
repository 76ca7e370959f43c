#include "reports.h"
#include "windowrig.h"

#include "reportclock.h"
#include "sessioncsv.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>
#include <QtTest>

#include <qcustomplot.h>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

// A name with a comma, values with quotes, commas and line breaks: all must stay one field.
const char *const sessionConfig = R"({
  "settings": {"maxPlotXPoints": 10 %1},
  "commands": [
    {"id": 0, "in": [{"name": "level", "type": "uint16", "units": "mV", "script": "x * 0.5"},
                     {"name": "state", "type": "uint8", "view": "hex"},
                     {"name": "note, text", "type": "string", "view": "str"}]},
    {"id": 4, "name": "Status", "in": [{"name": "code", "type": "uint8"}]}
  ]})";

QByteArray configWith(const char *settings)
{
    return QString::fromUtf8(sessionConfig).arg(QString::fromUtf8(settings)).toUtf8();
}

QByteArray telemetry(quint16 level, quint8 state, const QByteArray &note)
{
    QByteArray report = inputReport(0, {quint8(level & 0xff), quint8(level >> 8), state});
    report.replace(5, note.size(), note);
    return report.left(64);
}

// One value whose script takes about half a millisecond: the parser falls behind a burst.
const char *const slowConfig = R"({
  "commands": [{"id": 0, "in": [{"name": "level", "type": "uint16",
                                  "script": "var t = Date.now(); while (Date.now() - t < 1) {} x"}]}]})";

QStringList sessionFiles()
{
    return QDir::current().entryList({QStringLiteral("session-*.csv")}, QDir::Files);
}

// The value logs are text files (lines end in CR LF on Windows): read them with text on.
QByteArray contentOf(const QString &name, QIODevice::OpenMode text = {})
{
    QFile file(name);
    file.open(QIODevice::ReadOnly | text);
    return file.readAll();
}

} // namespace

class TestSessionFile : public SimulatedWindowTest
{
    Q_OBJECT

    bool waitForSamples(quint64 count)
    {
        DataParser *parser = MainWindowProbe(*window).parser();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            {
                std::lock_guard<std::mutex> lock(parser->stateLock);
                if (parser->sampleCounter >= count)
                    return true;
            }
            QTest::qWait(1);
        }
        return false;
    }

private slots:
    void init()
    {
        QVERIFY(QDir::setCurrent(workDir.path()));
        for (const QString &name : QDir::current().entryList(QDir::Files))
            QFile::remove(name);
    }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { removeConfig(); }

    void sessionFileHasTimeUnitsAndQuotedValues()
    {
        writeConfig(configWith(""));
        openWindow();
        device->injectReport(telemetry(4660, 0xff, "say \"hi\", ok"));
        device->injectReport(inputReport(4, {0x07})); // an answer is no row
        device->injectReport(telemetry(3, 0x01, "two\nlines"), 300);
        QVERIFY(waitForSamples(2));

        // Rows reach the file within about a second, with the window still open.
        QTRY_COMPARE_WITH_TIMEOUT(sessionFiles().size(), 1, 2000);
        const QString name = sessionFiles().first();
        QVERIFY(QRegularExpression(QStringLiteral("^session-\\d{8}-\\d{6}\\.csv$")).match(name).hasMatch());
        QTRY_VERIFY_WITH_TIMEOUT(contentOf(name).count('\n') == 4, 2000);

        closeWindow();
        const QByteArray text = contentOf(name);
        const QByteArray header = "time,elapsed_s,level [mV],state,\"note, text\"\n";
        QVERIFY2(text.startsWith(header), text.constData());
        const QRegularExpression row(QStringLiteral(
            "^(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d),(\\d+\\.\\d{6}),(.*)$"),
            QRegularExpression::DotMatchesEverythingOption);
        const QStringList rows = QString::fromUtf8(text.mid(header.size())).split(QStringLiteral("\n2"));
        QCOMPARE(rows.size(), 2);
        const auto first = row.match(rows[0]);
        const auto second = row.match(QLatin1Char('2') + rows[1]);
        QVERIFY2(first.hasMatch() && second.hasMatch(), text.constData());
        QCOMPARE(first.captured(2), QStringLiteral("0.000000"));
        QCOMPARE(first.captured(3), QStringLiteral("2330,ff,\"say \"\"hi\"\", ok\""));
        QCOMPARE(second.captured(3), QStringLiteral("1.5,1,\"two\nlines\"\n"));
        // The reports were 300 ms apart; the time column and elapsed_s agree.
        const double elapsed = second.captured(2).toDouble();
        QVERIFY2(elapsed >= 0.2 && elapsed < 2.0, qPrintable(second.captured(2)));
        const QDateTime t0 = QDateTime::fromString(first.captured(1), Qt::ISODateWithMs);
        const QDateTime t1 = QDateTime::fromString(second.captured(1), Qt::ISODateWithMs);
        QVERIFY2(qAbs(t0.msecsTo(t1) - elapsed * 1000) < 1.0, text.constData());
        // The offset makes the time one instant, whatever the zone that reads it.
        QVERIFY(qAbs(t0.msecsTo(QDateTime::currentDateTime())) < 60000);
        QCOMPARE(t0.offsetFromUtc(), QDateTime::currentDateTime().offsetFromUtc());
        // The per-value log files are as they always were.
        QCOMPARE(contentOf(QStringLiteral("level.csv"), QIODevice::Text), QByteArray("\n\n\n2330\n1.5\n"));
    }

    void sessionLogFalseWritesNoSessionFile()
    {
        writeConfig(configWith(R"(, "sessionLog": false)"));
        openWindow();
        device->injectReport(telemetry(1, 1, ""));
        QVERIFY(waitForSamples(1));
        closeWindow();
        QVERIFY(QFile::exists(QStringLiteral("level.csv")));
        QCOMPARE(sessionFiles(), QStringList());
    }

#ifdef Q_OS_LINUX
    void anUnwritableSessionFileIsNamed()
    {
        // The working directory disappears after the window opened its value logs: the
        // session file, created with the first report, cannot be.
        writeConfig(configWith(""));
        QVERIFY(QDir().mkdir(QStringLiteral("gone")));
        QVERIFY(QDir::setCurrent(QStringLiteral("gone")));
        openWindow();
        for (const QString &name : QDir::current().entryList(QDir::Files))
            QVERIFY(QFile::remove(name));
        QVERIFY(QDir(workDir.path()).rmdir(QStringLiteral("gone")));
        device->injectReport(telemetry(1, 1, ""));
        QVERIFY(waitForSamples(1));
        QLabel *notice = nullptr;
        QTRY_VERIFY((notice = window->findChild<QLabel *>(QStringLiteral("lbLogFileNotice"))));
        QVERIFY2(QRegularExpression(QStringLiteral("^Не удалось записать журнал: session-\\d{8}-\\d{6}\\.csv$"))
                     .match(notice->text())
                     .hasMatch(),
                 qPrintable(notice->text()));
    }
#endif

    void closingWithReportsQueuedWritesEveryOne()
    {
        writeConfig(slowConfig);
        openWindow();
        DataParser *parser = MainWindowProbe(*window).parser();
        const int count = 300;
        {
            // Holding the state lock stalls the parser in its first report while the rest
            // queue up (no events meanwhile: the window takes that lock too).
            std::lock_guard<std::mutex> stall(parser->stateLock);
            for (int i = 0; i < count; ++i)
                device->injectReport(inputReport(0, {quint8(i & 0xff), quint8(i >> 8)}));
            for (int waited = 0; parser->queuedReports() < count - 1 && waited < 10000; waited += 10)
                QTest::qSleep(10);
            QCOMPARE(parser->queuedReports(), count - 1);
        }
        closeWindow();

        const QList<QByteArray> levels = contentOf(QStringLiteral("level.csv"), QIODevice::Text).split('\n');
        QCOMPARE(levels.size(), 3 + count + 1);
        QCOMPARE(levels.at(3 + count - 1), QByteArray::number(count - 1));
        QCOMPARE(sessionFiles().size(), 1);
        const QList<QByteArray> rows = contentOf(sessionFiles().first()).split('\n');
        QCOMPARE(rows.size(), 1 + count + 1);
        QVERIFY2(rows.at(count).endsWith("," + QByteArray::number(count - 1)), rows.at(count).constData());
    }

    void timesRunOnAcrossASuspend()
    {
        writeConfig(configWith(""));
        openWindow();
        device->injectReport(telemetry(1, 1, ""));
        QVERIFY(waitForSamples(1));
        // The machine sleeps for an hour with the device attached.
        const qint64 hourNs = Q_INT64_C(3600) * 1000000000;
        advanceReportClock(hourNs);
        struct Wake
        {
            qint64 ns;
            ~Wake() { advanceReportClock(-ns); } // the next test starts afresh
        } wake{hourNs};
        device->injectReport(telemetry(2, 2, ""));
        QVERIFY(waitForSamples(2));
        closeWindow();

        // The row after it is an hour later, in its time and in its elapsed seconds.
        const QList<QByteArray> rows = contentOf(sessionFiles().first()).split('\n');
        QCOMPARE(rows.size(), 4);
        const QDateTime before = QDateTime::fromString(QString::fromLatin1(rows[1].split(',').at(0)), Qt::ISODateWithMs);
        const QDateTime after = QDateTime::fromString(QString::fromLatin1(rows[2].split(',').at(0)), Qt::ISODateWithMs);
        QVERIFY2(before.msecsTo(after) >= 3600000 && before.msecsTo(after) < 3660000, rows[2].constData());
        QVERIFY2(rows[2].split(',').at(1).toDouble() >= 3600.0, rows[2].constData());
    }

#ifdef Q_OS_LINUX
    void aRecordingThatBreaksIsSaidAtOnce()
    {
        // Files of this process cannot grow beyond 64 KiB: the recording fills up after about a
        // thousand reports, as on a full disk. The value log stays well below.
        writeConfig(R"({"settings": {"sessionLog": false},
                        "commands": [{"id": 0, "in": [{"name": "level", "type": "uint16"}]}]})");
        openWindow();
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &previous) == 0);
        rlimit small = previous;
        small.rlim_cur = 64 * 1024;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        struct Restore
        {
            rlimit limit;
            ~Restore() { setrlimit(RLIMIT_FSIZE, &limit); }
        } restore{previous};

        auto *record = window->findChild<QCheckBox *>(QStringLiteral("cbRecord"));
        record->setChecked(true);
        QByteArray report(64, '\x5a'); // no trailing zeros for the recording to leave out
        report[0] = 1;
        report[1] = 0;
        for (int i = 0; i < 3000; ++i)
            device->injectReport(report);
        QLabel *notice = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((notice = window->findChild<QLabel *>(QStringLiteral("lbLogFileNotice"))), 5000);
        QVERIFY2(QRegularExpression(QStringLiteral("^Запись сеанса прервана \\(.+\\): recording-\\d{8}-\\d{6}\\.tvxr$"))
                     .match(notice->text())
                     .hasMatch(),
                 qPrintable(notice->text()));
        QVERIFY(!record->isChecked());
        // Said once: the status bar does not say it again, nor that it was saved.
        QVERIFY2(!window->statusBar()->currentMessage().startsWith(QStringLiteral("Запись сеанса")),
                 qPrintable(window->statusBar()->currentMessage()));
    }
#endif

    void reportsAreTimedWhenTheyArriveNotWhenDecoded()
    {
        CommandDescription description(QJsonDocument::fromJson(
            R"({"id": 0, "in": [{"name": "n", "type": "uint8"}]})").object());
        DataParser parser(description, 0, nullptr, false);
        parser.descriptions.insert(0, description);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        auto writer = std::make_unique<SessionCsvWriter>(description.inNames, description.inUnits);
        writer->writeTo(&out);
        parser.setSessionLog(std::move(writer));

        parser.appendNewData(inputReport(0, {1}));
        QTest::qSleep(250);
        parser.appendNewData(inputReport(0, {2}));
        parser.start(); // both are decoded now, at once
        QTRY_COMPARE(parser.queuedReports(), 0);
        parser.stopParsing();
        parser.wait();
        const QList<QByteArray> lines = out.data().split('\n');
        QCOMPARE(lines.size(), 4);
        const double elapsed = lines[2].split(',').at(1).toDouble();
        QVERIFY2(elapsed >= 0.24 && elapsed < 1.0, lines[2].constData());
    }

    void timeAxisShowsSecondsSinceTheFirstReport()
    {
        writeConfig(configWith(R"(, "plotTimeAxis": true)"));
        openWindow();
        MainWindowProbe probe(*window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        probe.replotTimer()->stop();
        QCustomPlot *plot = probe.plots().at(0);
        QCOMPARE(plot->xAxis->label(), QStringLiteral("время, с"));
        probe.replot();
        QCOMPARE(plot->graph(0)->dataCount(), 0); // no made-up history on a time axis

        device->injectReport(telemetry(10, 0, ""));
        device->injectReport(telemetry(20, 0, ""), 400);
        QVERIFY(waitForSamples(2));
        probe.replot();
        QCOMPARE(plot->graph(0)->dataCount(), 2);
        QCOMPARE(plot->graph(0)->data()->at(0)->key, 0.0);
        const double second = plot->graph(0)->data()->at(1)->key;
        QVERIFY2(second >= 0.3 && second < 3.0, qPrintable(QString::number(second)));
        QCOMPARE(plot->graph(0)->data()->at(1)->value, 10.0);
    }
};

QTEST_MAIN(TestSessionFile)
#include "tst_sessionfile.moc"

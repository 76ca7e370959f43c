#include "reports.h"
#include "windowrig.h"

#include "recordingwriter.h"
#include "replayplatform.h"
#include "reportclock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

namespace {

const char *const replayConfig = R"({
  "settings": {"maxPlotXPoints": 10},
  "commands": [
    {"id": 0, "in": [{"name": "level", "type": "int16", "script": "x * 0.1"},
                     {"name": "state", "type": "uint8", "view": "bin"}]},
    {"id": 4, "name": "Status", "in": [{"name": "code", "type": "uint8"}]}
  ]})";

QStringList linesOf(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("(missing)")};
    return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'));
}

QStringList filesLike(const QString &pattern)
{
    return QDir::current().entryList({pattern}, QDir::Files);
}

} // namespace

class TestReplay : public SimulatedWindowTest
{
    Q_OBJECT

    QTemporaryDir replayDir;

    template <typename T> T *child(const char *name)
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    bool waitForSamples(quint64 count)
    {
        DataParser *parser = MainWindowProbe(*window).parser();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            {
                std::lock_guard<std::mutex> lock(parser->stateLock);
                if (parser->sampleCounter >= count)
                    return true;
            }
            QTest::qWait(1);
        }
        return false;
    }
    quint64 samples()
    {
        DataParser *parser = MainWindowProbe(*window).parser();
        std::lock_guard<std::mutex> lock(parser->stateLock);
        return parser->sampleCounter;
    }
    // Live, in an emptied working folder: the window on the first device, a second one
    // plugged in, and the session recorded. Returns the recording's path.
    QString recordWithASecondDevice(std::shared_ptr<SimDevice> &second)
    {
        if (!QDir::setCurrent(workDir.path()))
            return QString();
        for (const QString &name : QDir::current().entryList(QDir::Files))
            QFile::remove(name);
        openWindow();
        second = sim->plug(QStringLiteral("Tolvex probe B"));
        if (!QTest::qWaitFor([&] { return child<QComboBox>("cbCurrentDevice")->count() == 2; }, 5000))
            return QString();
        child<QCheckBox>("cbRecord")->setChecked(true);
        const QStringList recordings = filesLike(QStringLiteral("recording-*.tvxr"));
        return recordings.isEmpty() ? QString() : QDir::current().absoluteFilePath(recordings.first());
    }

private slots:
    void initTestCase() { writeConfig(replayConfig); }
    void cleanup() { closeWindow(); }
    void cleanupTestCase() { removeConfig(); }

    void recordedSessionReplaysToTheSameLogLines()
    {
        QVERIFY(QDir::setCurrent(workDir.path()));
        openWindow();
        const QString liveDevice = child<QComboBox>("cbCurrentDevice")->currentText();
        auto *record = child<QCheckBox>("cbRecord");
        QCOMPARE(record->text(), QStringLiteral("Записывать сеанс"));
        record->setChecked(true);
        QCOMPARE(filesLike(QStringLiteral("recording-*.tvxr")).size(), 1);
        const QString recording = QDir::current().absoluteFilePath(filesLike(QStringLiteral("recording-*.tvxr")).first());

        const int count = 40;
        for (int i = 0; i < count; ++i) {
            const qint16 level = qint16(i * 37 - 700);
            device->injectReport(inputReport(0, {quint8(level & 0xff), quint8(quint16(level) >> 8), quint8(i * 7)}), i * 3);
            if (i == 20)
                device->injectReport(inputReport(4, {0x2a}), i * 3);
        }
        QVERIFY(waitForSamples(count));
        record->setChecked(false);
        QVERIFY(window->statusBar()->currentMessage().contains(QStringLiteral("41")));
        closeWindow();
        const QStringList liveLevel = linesOf(QStringLiteral("level.csv"));
        const QStringList liveState = linesOf(QStringLiteral("state.csv"));
        QCOMPARE(liveLevel.size(), 3 + count + 1);

        // The replay, in a directory of its own, as fast as it goes.
        QVERIFY(QDir::setCurrent(replayDir.path()));
        ReplayPlatform replay;
        QVERIFY2(replay.load(recording, 0), qPrintable(replay.errorString()));
        HidPlatform::install(&replay);
        window = std::make_unique<MainWindow>();
        QCOMPARE(child<QComboBox>("cbCurrentDevice")->currentText(), liveDevice);
        // The end is announced on the exchange thread: watched from here by polling.
        QTRY_VERIFY_WITH_TIMEOUT(replay.isFinished(), 10000);
        QCOMPARE(replay.reportsPlayed(), qint64(count + 1));
        QVERIFY(replay.endProblem().isEmpty());
        QVERIFY(waitForSamples(count));
        // The end of the recording is an unplug.
        QTRY_COMPARE(child<QLabel>("lbDeviceCount")->text(), QStringLiteral("[0]"));
        window.reset();
        HidPlatform::install(nullptr);

        QCOMPARE(linesOf(QStringLiteral("level.csv")), liveLevel);
        QCOMPARE(linesOf(QStringLiteral("state.csv")), liveState);
        QCOMPARE(filesLike(QStringLiteral("session-*.csv")).size(), 1);
    }

    void aDeviceChosenWhileRecordingIsRecordedAndReplaysAsAReplug()
    {
        std::shared_ptr<SimDevice> second;
        const QString recording = recordWithASecondDevice(second);
        QVERIFY(!recording.isEmpty());
        auto *devices = child<QComboBox>("cbCurrentDevice");
        const QString firstText = devices->currentText();
        for (quint8 i = 1; i <= 5; ++i)
            device->injectReport(inputReport(0, {i, 0, i}));
        QTRY_COMPARE(linesOf(QStringLiteral("level.csv")).size(), 3 + 5 + 1);
        devices->setCurrentIndex(1 - devices->currentIndex());
        QTRY_VERIFY(second->isOpen());
        for (quint8 i = 6; i <= 10; ++i)
            second->injectReport(inputReport(0, {i, 0, i}));
        QTRY_COMPARE(linesOf(QStringLiteral("level.csv")).size(), 3 + 10 + 1);
        child<QCheckBox>("cbRecord")->setChecked(false);
        closeWindow();
        const QStringList liveLevel = linesOf(QStringLiteral("level.csv"));

        QVERIFY(QDir::setCurrent(replayDir.path()));
        for (const QString &name : QDir::current().entryList(QDir::Files))
            QFile::remove(name);
        ReplayPlatform replay;
        QVERIFY2(replay.load(recording, 0), qPrintable(replay.errorString()));
        HidPlatform::install(&replay);
        window = std::make_unique<MainWindow>();
        QCOMPARE(child<QComboBox>("cbCurrentDevice")->currentText(), firstText);
        QTRY_VERIFY_WITH_TIMEOUT(replay.isFinished(), 10000);
        QCOMPARE(replay.productString(), QStringLiteral("Tolvex probe B"));
        QCOMPARE(replay.reportsPlayed(), qint64(10));
        QTRY_COMPARE(linesOf(QStringLiteral("level.csv")).size(), 3 + 10 + 1);
        window.reset();
        HidPlatform::install(nullptr);
        QCOMPARE(linesOf(QStringLiteral("level.csv")), liveLevel);
    }

    void aReplayedDeviceChangeKeepsTheValuesMoving()
    {
        // Live: three reports from the first device, then ten from the second, 150 ms apart.
        std::shared_ptr<SimDevice> second;
        const QString recording = recordWithASecondDevice(second);
        QVERIFY(!recording.isEmpty());
        auto *devices = child<QComboBox>("cbCurrentDevice");
        for (quint8 i = 1; i <= 3; ++i)
            device->injectReport(inputReport(0, {i, 0, i}));
        QVERIFY(waitForSamples(3));
        devices->setCurrentIndex(1 - devices->currentIndex());
        QTRY_VERIFY(second->isOpen());
        const int count = 10;
        for (int i = 0; i < count; ++i)
            second->injectReport(inputReport(0, {quint8(40 + i * 10), 0, quint8(i)}), i * 150);
        QVERIFY(waitForSamples(count)); // counted again from the operator's choice
        child<QCheckBox>("cbRecord")->setChecked(false);
        closeWindow();

        // Replayed at its own pace: the values column follows the second device's reports
        // (with every replot) until shortly before the end.
        QVERIFY(QDir::setCurrent(replayDir.path()));
        ReplayPlatform replay;
        QVERIFY2(replay.load(recording, 1), qPrintable(replay.errorString()));
        HidPlatform::install(&replay);
        window = std::make_unique<MainWindow>();
        QVERIFY(waitForSamples(3 + count - 2));
        MainWindowProbe probe(*window);
        const QTreeWidgetItem *level = window->findChild<QTreeWidget *>()->topLevelItem(0);
        QTRY_COMPARE_WITH_TIMEOUT(level->text(1), probe.valueTexts().at(0), 1000);
        QVERIFY(probe.replotTimer()->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(replay.isFinished(), 10000);
        window.reset();
        HidPlatform::install(nullptr);
    }

    void aRecordingCutByACrashReplaysUpToItsLastCompleteRecord()
    {
        QVERIFY(QDir::setCurrent(replayDir.path()));
        const QString path = replayDir.filePath(QStringLiteral("cut.tvxr"));
        {
            RecordingWriter writer;
            RecordingFormat::Header header;
            header.product = QStringLiteral("Tolvex probe");
            header.path = QStringLiteral("/dev/hidraw7");
            QVERIFY(writer.open(path, header));
            for (quint8 i = 1; i <= 3; ++i)
                writer.record(RecordingFormat::RecordKind::Report, inputReport(0, {i, 0, i}));
        }
        QFile file(path);
        QVERIFY(file.resize(file.size() - 2));

        ReplayPlatform replay;
        QVERIFY(replay.load(path, 0));
        HidPlatform::install(&replay);
        window = std::make_unique<MainWindow>();
        QTRY_VERIFY_WITH_TIMEOUT(replay.isFinished(), 10000);
        QVERIFY(waitForSamples(2));
        QTest::qWait(50);
        QCOMPARE(samples(), quint64(2));
        QVERIFY2(replay.endProblem().contains(QStringLiteral("cut off")), qPrintable(replay.endProblem()));
        window.reset();
        HidPlatform::install(nullptr);
    }

    void pauseHoldsTheRecordedTimeline()
    {
        const QString path = replayDir.filePath(QStringLiteral("paced.tvxr"));
        {
            RecordingWriter writer;
            QVERIFY(writer.open(path, RecordingFormat::Header()));
            const qint64 t0 = monotonicNowNs();
            writer.record(RecordingFormat::RecordKind::Report, inputReport(0, {1}), t0);
            writer.record(RecordingFormat::RecordKind::Request, inputReport(4, {9}), t0 + 100000000);
            writer.record(RecordingFormat::RecordKind::Report, inputReport(0, {2}), t0 + 300000000);
        }
        ReplayPlatform replay;
        QVERIFY(replay.load(path, 1));
        QCOMPARE(replay.enumerate().size(), 1);
        auto connection = replay.open(replay.enumerate().first().second);
        QVERIFY(connection);
        unsigned char buffer[64];
        // A program behind with its decoding holds the replay back.
        int backlog = 10;
        replay.setBacklogLimit([&backlog] { return backlog; }, 5);
        QCOMPARE(connection->read(buffer, 50), HidConnection::Result::TimedOut);
        backlog = 5;
        QCOMPARE(connection->read(buffer, 100), HidConnection::Result::Done);
        QCOMPARE(int(buffer[2]), 1);

        replay.setPaused(true);
        QElapsedTimer paused;
        paused.start();
        while (paused.elapsed() < 500)
            QCOMPARE(connection->read(buffer, 50), HidConnection::Result::TimedOut);
        replay.setPaused(false);
        QElapsedTimer resumed;
        resumed.start();
        HidConnection::Result result;
        while ((result = connection->read(buffer, 50)) == HidConnection::Result::TimedOut) {}
        QCOMPARE(result, HidConnection::Result::Done);
        QCOMPARE(int(buffer[2]), 2); // the request is not played back as a report
        QVERIFY2(resumed.elapsed() >= 200, qPrintable(QString::number(resumed.elapsed())));

        QSignalSpy changed(&replay, &HidPlatform::devicesChanged);
        QCOMPARE(connection->read(buffer, 50), HidConnection::Result::Failed);
        QCOMPARE(changed.count(), 1);
        QVERIFY(replay.enumerate().isEmpty());
    }

    void filesThatAreNoRecordingAreRefused()
    {
        const QString path = replayDir.filePath(QStringLiteral("notes.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a recording\n");
        file.close();
        ReplayPlatform replay;
        QVERIFY(!replay.load(path, 1));
        QVERIFY2(replay.errorString().contains(QStringLiteral("not a recording")), qPrintable(replay.errorString()));
        QVERIFY(replay.enumerate().isEmpty());
    }
};

QTEST_MAIN(TestReplay)
#include "tst_replay.moc"

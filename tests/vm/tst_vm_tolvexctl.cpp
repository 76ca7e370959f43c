// tolvexctl against the kernel's HID stack: a vhid device found by list, its telemetry printed
// by watch, its answer printed by send, and send's time-out while vhid is muted. Runs inside
// the test virtual machine (vm-run), as root.

#include "vhidprocess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

struct Run
{
    int status = -1;
    QStringList lines;
    QString errors;
};

Run tolvexctl(const QStringList &arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.start(QStringLiteral(TOLVEXCTL), QStringList{QStringLiteral("--config"), VhidProcess::configPath()} + arguments);
    Run run;
    // The event loop keeps running meanwhile, so vhid's lines are collected.
    QElapsedTimer clock;
    clock.start();
    while (!process.waitForFinished(10) && clock.elapsed() < timeoutMs)
        QTest::qWait(10);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

class VmTolvexctlTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral("/dev/uhid")),
                 "no /dev/uhid: this test runs inside the test virtual machine (vm-run)");
    }

    void listSeesTheVirtualDevice()
    {
        const Run none = tolvexctl({QStringLiteral("list")});
        QCOMPARE(none.status, 3);

        VhidProcess vhid;
        QVERIFY(vhid.start());
        const Run listed = tolvexctl({QStringLiteral("list")});
        QCOMPARE(listed.status, 0);
        QCOMPARE(listed.lines.size(), 1);
        const QStringList fields = listed.lines.first().split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 3);
        QCOMPARE(fields.at(0), QStringLiteral("Tolvex VM"));
        QCOMPARE(fields.at(2), vhid.node());
    }

    void watchPrintsAHundredDecodedReports()
    {
        VhidProcess vhid;
        QVERIFY(vhid.start());
        const Run watched = tolvexctl({QStringLiteral("watch"), QStringLiteral("--count"), QStringLiteral("100")});
        QCOMPARE(watched.status, 0);
        QCOMPARE(watched.lines.size(), 101);
        QCOMPARE(watched.lines.first(), QStringLiteral("time,counter,status,level (°C),flags,voltage (V),energy (J),"
                                                      "position (µm),armed"));
        // vhid's count pattern: field k of report n holds n + k; level is halved by its script.
        const quint64 first = watched.lines.at(1).section(QLatin1Char(','), 1, 1).toULongLong();
        for (int i = 0; i < 100; ++i) {
            const QStringList fields = watched.lines.at(i + 1).split(QLatin1Char(','));
            QCOMPARE(fields.size(), 9);
            const quint64 n = first + quint64(i);
            QCOMPARE(fields.at(1), QString::number(n));
            QCOMPARE(fields.at(2), QString::number((n + 1) % 256, 16));
            QCOMPARE(fields.at(3), QString::number(double((n + 2) % 32768) * 0.5, 'g', 6));
        }
    }

    void sendIsAnsweredAndTimesOutWhenTheDeviceIsMuted()
    {
        VhidProcess vhid;
        QVERIFY(vhid.start());
        const Run answered = tolvexctl({QStringLiteral("send"), QStringLiteral("Set threshold"),
                                        QStringLiteral("threshold=2a")});
        QCOMPARE(answered.status, 0);
        QCOMPARE(answered.lines, (QStringList{"channel=3", "threshold=2a", "mask=101", "accepted=4"}));
        QVERIFY(vhid.waitForLine("output 02020" "32a00", 5000) >= 0);

        vhid.send("mute");
        const Run silent = tolvexctl({QStringLiteral("send"), QStringLiteral("2"), QStringLiteral("--timeout"),
                                      QStringLiteral("500")});
        QCOMPARE(silent.status, 5);
        QVERIFY(silent.errors.contains(QStringLiteral("no answer")));
    }
};

QTEST_GUILESS_MAIN(VmTolvexctlTest)
#include "tst_vm_tolvexctl.moc"

// The virtual-machine runner itself: whatever the guest does, the runner ends in bounded
// time, says what happened with its exit status, shows the guest's console and leaves no
// QEMU process behind.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

// QEMU processes still running for this runner's cache.
QStringList leftoverGuests()
{
    QStringList found;
    const QByteArray runs = QByteArray(TOLVEX_VM_CACHE) + "/runs/";
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!commandLine.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = commandLine.readAll();
        if (text.startsWith("qemu-system") && text.contains(runs))
            found << pid;
    }
    return found;
}

} // namespace

class VmRunnerTest : public QObject
{
    Q_OBJECT

private slots:
    void guestOutcomeBecomesExitStatus_data();
    void guestOutcomeBecomesExitStatus();
};

void VmRunnerTest::guestOutcomeBecomesExitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");  // a line the runner must show
    QTest::addColumn<int>("withinSeconds");

    QTest::newRow("command's status and arguments")
        << QStringList{"--", "sh", "-c", "printf '%s|' \"$@\"; echo; exit 3", "sh", "a b", "c'd"} << 3
        << QStringLiteral("a b|c'd|") << 120;
    QTest::newRow("guest kernel crashes")
        << QStringList{"--", "sh", "-c", "echo crashing; sleep 1; echo c > /proc/sysrq-trigger; sleep 600"} << 125
        << QStringLiteral("crashing") << 120;
    // The command takes the guest's own time limit away, so only the hard limit ends it.
    QTest::newRow("guest never finishes")
        << QStringList{"--timeout", "20", "--", "sh", "-c",
                       "echo hanging; for p in /proc/[0-9]*; do "
                       "[ \"$(cat $p/comm 2>/dev/null)\" = timeout ] && kill -9 \"${p#/proc/}\"; done; "
                       "sleep 600"}
        << 124 << QStringLiteral("hanging") << 60;
}

void VmRunnerTest::guestOutcomeBecomesExitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(int, withinSeconds);

    QProcess runner;
    runner.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    runner.start(QStringLiteral(TOLVEX_VM_RUNNER),
                 QStringList{QStringLiteral("--cache"), QStringLiteral(TOLVEX_VM_CACHE)} + arguments);
    QVERIFY(runner.waitForFinished(withinSeconds * 1000 + 300 * 1000)); // a first run downloads
    const QString shown = QString::fromUtf8(runner.readAll());
    QVERIFY2(runner.exitStatus() == QProcess::NormalExit, qPrintable(shown));
    QVERIFY2(runner.exitCode() == status, qPrintable(QStringLiteral("exit status %1\n%2").arg(runner.exitCode()).arg(shown)));
    QVERIFY2(shown.split(QLatin1Char('\n')).contains(output), qPrintable(shown));
    if (!shown.contains(QStringLiteral("downloading")))
        QVERIFY2(clock.elapsed() < withinSeconds * 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QCOMPARE(leftoverGuests(), QStringList());
}

QTEST_GUILESS_MAIN(VmRunnerTest)
#include "tst_vm_runner.moc"

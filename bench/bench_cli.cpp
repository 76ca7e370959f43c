// tolvexctl watch --format csv on the simulated device, printing to /dev/null, stepping up the
// telemetry rate while it keeps up:
//   cli.watch_reports_per_s   the highest rate at which every report sent was printed and
//                             the run ended on time (nothing left to catch up on)
//   cli.host_load_1min        the machine's load while measuring
// Each step runs tolvexctl for a few seconds; the simulated device counts what it sent, and
// tolvexctl what it printed, once it has read everything sent (--sim stats).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr double stepSeconds = 4;

struct Step
{
    bool ran = false;
    qint64 sent = 0;
    qint64 printed = 0;
    double seconds = 0; // the whole run, start-up included
};

Step watch(int rate, double seconds)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(TOLVEXCTL),
                  {QStringLiteral("--config"), QStringLiteral(TOLVEX_CLI_BENCH_CONFIG), QStringLiteral("watch"),
                   QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--duration"),
                   QString::number(seconds), QStringLiteral("--sim"), QStringLiteral("rate=%1").arg(rate),
                   QStringLiteral("--sim"), QStringLiteral("stats")});
    Step step;
    if (!process.waitForFinished(int(seconds * 1000) + 120000) || process.exitCode() != 0) {
        std::fprintf(stderr, "bench_cli: tolvexctl failed: %s\n", process.readAllStandardError().constData());
        return step;
    }
    step.seconds = clock.elapsed() / 1000.0;
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    const QRegularExpressionMatch counts =
        QRegularExpression(QStringLiteral("(\\d+) reports sent, (\\d+) printed")).match(errors);
    step.ran = counts.hasMatch();
    step.sent = counts.captured(1).toLongLong();
    step.printed = counts.captured(2).toLongLong();
    return step;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    // Start-up and shut-down alone, to tell them from time spent catching up.
    const Step idle = watch(0, 0);
    if (!idle.ran)
        return 1;

    int sustained = 0;
    for (int rate : {6000, 12000, 24000, 32000, 48000, 64000, 96000, 128000}) {
        const Step step = watch(rate, stepSeconds);
        if (!step.ran)
            return 1;
        const double late = step.seconds - idle.seconds - stepSeconds;
        const bool kept = step.printed == step.sent && step.sent >= 0.95 * rate * stepSeconds && late < 0.5;
        std::fprintf(stderr, "bench_cli: %d/s: %lld sent, %lld printed, ended %.2f s late\n", rate,
                     static_cast<long long>(step.sent), static_cast<long long>(step.printed), late);
        if (!kept)
            break;
        sustained = rate;
    }
    std::printf("cli.watch_reports_per_s: %d reports/s\n", sustained);
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        std::printf("cli.host_load_1min: %.2f runnable\n", load[0]);
    return 0;
}

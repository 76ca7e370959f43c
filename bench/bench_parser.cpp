// Decoding throughput of the parser thread: reports are queued up front, then the thread
// decodes them (fields, scripts, plot buffers, display texts, log lines) while the clock runs.
// Prints reports per second by the wall clock and per second of processor time, each as
// "name: value unit"; the best of several rounds, since other work only slows a round down.

#include "configuration.h"
#include "dataparser.h"
#include "fieldcodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

// What the parser is built with, from the benchmark's configuration file.
struct Setup
{
    QList<CommandDescription> descriptions;
    CommandDescription telemetry;
    int maxPoints = 1000;
};

bool load(const QString &path, Setup &setup)
{
    const Configuration configuration = Configuration::load(path);
    if (!configuration.opened) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    setup.maxPoints = configuration.maxPlotXPoints;
    setup.telemetry = configuration.telemetry;
    setup.descriptions = configuration.descriptions();
    return true;
}

// Telemetry reports with values that change from report to report.
QVector<QByteArray> makeReports(const CommandDescription &telemetry, int count)
{
    QRandomGenerator random(1234);
    QVector<QByteArray> reports;
    reports.reserve(count);
    for (int n = 0; n < count; ++n) {
        QByteArray report(64, '\0');
        report[0] = 1;
        int pos = 2;
        for (ParamType type : telemetry.inTypes) {
            const double value = type == TypeFloat || type == TypeDouble
                ? random.bounded(1000.0) - 500.0
                : double(random.bounded(200));
            pos += FieldCodec::encodeValue(report, pos, type, value);
        }
        reports.append(report);
    }
    return reports;
}

struct Rates
{
    double perSecond = 0;    // by the wall clock
    double perCpuSecond = 0; // by the processor time the process spent (the parser thread's)
};

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// Reports per second of one run over all the reports.
Rates decodeRun(const Setup &configuration, const QVector<QByteArray> &reports)
{
    DataParser parser(configuration.telemetry, configuration.maxPoints);
    for (const CommandDescription &description : configuration.descriptions)
        parser.descriptions.insert(description.id, description);

    std::atomic<int> decoded{0};
    const int total = reports.size();
    QObject::connect(&parser, &DataParser::dataReady, &parser, [&] {
        if (++decoded == total)
            parser.stopParsing();
    }, Qt::DirectConnection);

    for (const QByteArray &report : reports)
        parser.appendNewData(report);
    // The main thread only waits meanwhile, so the process's processor time is the parser's.
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    parser.start();
    parser.wait();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {total / elapsed.count(), total / (cpuSeconds() - cpuStart)};
}

// The best of several rounds: other work on the machine only ever slows a round down.
Rates bestRates(const QString &path)
{
    Setup configuration;
    if (!load(path, configuration))
        return {};
    const QVector<QByteArray> reports = makeReports(configuration.telemetry, 50000);
    decodeRun(configuration, reports.mid(0, 2000)); // warm-up
    Rates best;
    for (int round = 0; round < 7; ++round) {
        const Rates rates = decodeRun(configuration, reports);
        best.perSecond = std::max(best.perSecond, rates.perSecond);
        best.perCpuSecond = std::max(best.perCpuSecond, rates.perCpuSecond);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);

    // The log files go to a directory of their own.
    QTemporaryDir logDir;
    if (!logDir.isValid() || !QDir::setCurrent(logDir.path()))
        return 1;

    const Rates bench = bestRates(QStringLiteral(TOLVEX_BENCH_CONFIG));
    std::printf("parser.reports_per_s: %.0f reports/s\n", bench.perSecond);
    std::printf("parser.reports_per_cpu_s: %.0f reports/s\n", bench.perCpuSecond);
    std::fflush(stdout);
    return 0;
}

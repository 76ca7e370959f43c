// Decoding a recording into its session CSV with `tolvexctl decode` (built beside this program;
// without it, the same decoder in this process):
//   replay.decode_reports_per_s   reports of a 1,000,000-report recording decoded per second
//                                 (best of three rounds), the CSV going to /dev/null
//   replay.decode_reports_per_cpu_s  the same per second of processor time (for a busy machine)
//   replay.recording_bytes_per_report  the recording's size over its reports
// Usage: bench_replay [CONFIGURATION] (default: the benchmark configuration, else the example).
#include "fieldcodec.h"
#include "recordingdecoder.h"
#include "recordingwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    // This process's and its finished children's (tolvexctl's).
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s: %.6g %s\n", name, value, unit);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString configPath = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TOLVEX_BENCH_CONFIG);
    if (!QFileInfo::exists(configPath))
        configPath = QStringLiteral(TOLVEX_EXAMPLE_CONFIG);
    QFile file(configPath);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_replay: cannot read %s\n", qPrintable(configPath));
        return 1;
    }
    const QByteArray configuration = file.readAll();
    CommandDescription telemetry;
    QList<CommandDescription> descriptions;
    for (const QJsonValue &entry :
         QJsonDocument::fromJson(configuration).object().value(QStringLiteral("commands")).toArray()) {
        const CommandDescription description(entry.toObject());
        descriptions.append(description);
        if (description.id == 0)
            telemetry = description;
    }

    // A million telemetry reports 1/24,000 s apart, values changing from report to report.
    const int count = qEnvironmentVariableIntValue("BENCH_REPLAY_REPORTS") > 0 ? qEnvironmentVariableIntValue("BENCH_REPLAY_REPORTS") : 1000000;
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("bench.tvxr"));
    {
        RecordingWriter writer;
        RecordingFormat::Header header;
        header.product = QStringLiteral("Bench probe");
        header.configuration = configuration;
        if (!writer.open(recording, header)) {
            std::fprintf(stderr, "bench_replay: %s\n", qPrintable(writer.errorString()));
            return 1;
        }
        QRandomGenerator random(1234);
        const qint64 start = 1000000000;
        for (int n = 0; n < count; ++n) {
            QByteArray report(64, '\0');
            report[0] = 1;
            int pos = 2;
            for (ParamType type : qAsConst(telemetry.inTypes)) {
                const double value = type == TypeFloat || type == TypeDouble ? random.bounded(1000.0) - 500.0
                                                                             : double(random.bounded(200));
                pos += FieldCodec::encodeValue(report, pos, type, value);
            }
            writer.record(RecordingFormat::RecordKind::Report, report, start + qint64(n) * 41667);
        }
    }
    print("replay.recording_bytes_per_report", double(QFileInfo(recording).size()) / count, "bytes");

    double best = 0;
    double bestCpu = 0;
    const QString tolvexctl = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tolvexctl"));
    const bool external = QFileInfo(tolvexctl).isExecutable();
    std::fprintf(stderr, "bench_replay: decoding with %s\n", external ? qPrintable(tolvexctl) : "the decoder in this process");
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = cpuSeconds();
        if (external) {
            QProcess decode;
            decode.setStandardOutputFile(QProcess::nullDevice());
            decode.start(tolvexctl, {QStringLiteral("--config"), configPath, QStringLiteral("decode"), recording});
            if (!decode.waitForFinished(-1) || decode.exitStatus() != QProcess::NormalExit || decode.exitCode() != 0) {
                std::fprintf(stderr, "bench_replay: tolvexctl decode failed: %s\n",
                             decode.readAllStandardError().constData());
                return 1;
            }
        } else {
            QFile sink(QStringLiteral("/dev/null"));
            sink.open(QIODevice::WriteOnly);
            RecordingDecoder decoder(telemetry, descriptions);
            if (!decoder.decode(recording, &sink) || decoder.rowsWritten() != count) {
                std::fprintf(stderr, "bench_replay: %lld rows of %d: %s\n", decoder.rowsWritten(), count,
                             qPrintable(decoder.errorString() + decoder.outputError()));
                return 1;
            }
        }
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        bestCpu = std::max(bestCpu, count / (cpuSeconds() - cpuStart));
        best = std::max(best, count / seconds);
    }
    print("replay.decode_reports_per_s", best, "reports/s");
    print("replay.decode_reports_per_cpu_s", bestCpu, "reports/s");
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        print("replay.host_load_1min", load[0], "runnable");
    return 0;
}

// tolvexctl decode FILE: the session file of a recording on standard output, decoded with the
// configuration of --config (the one in force now, not the one it was recorded under).
#include "configuration.h"
#include "exitstatus.h"
#include "output.h"
#include "recordingdecoder.h"
#include "subcommand.h"

#include <QFile>

#include <cstdio>

namespace {

class DecodeCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("decode"); }
    QString arguments() const override { return QStringLiteral("FILE"); }
    QString summary() const override
    {
        return QStringLiteral("The session CSV of a recording on standard output: a header (time, elapsed_s, "
                              "each value's name [units]), then a row per telemetry report with its recorded "
                              "local time, decoded with the configuration of --config. A recording cut off "
                              "by a crash is decoded up to its last complete record (said on standard error); "
                              "a file that is no recording, or damaged, ends with status 9.");
    }

    int run(const QCommandLineParser &, const QStringList &arguments, const CommonOptions &common) override
    {
        if (arguments.size() != 1)
            return usageError(arguments.isEmpty() ? QStringLiteral("which file?")
                                                  : QStringLiteral("one file at a time"));
        Configuration configuration;
        if (!readTelemetryConfiguration(common, &configuration))
            return ExitStatus::badConfig;

        Output::flush();
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly)) {
            complain(QStringLiteral("cannot write standard output"));
            return ExitStatus::failure;
        }
        RecordingDecoder decoder(configuration.telemetry, configuration.descriptions());
        const bool clean = decoder.decode(arguments.first(), &out);
        out.close();
        if (!decoder.headerRead()) {
            complain(decoder.errorString());
            return ExitStatus::badRecording;
        }
        if (decoder.status() == RecordingReader::Status::Truncated) {
            // The usual end of a recording whose program did not close it: not a failure.
            complain(decoder.errorString());
            return ExitStatus::ok;
        }
        if (decoder.status() != RecordingReader::Status::Ok) {
            complain(decoder.errorString());
            return ExitStatus::badRecording;
        }
        if (!clean) {
            complain(QStringLiteral("standard output: %1").arg(decoder.errorString()));
            return ExitStatus::failure;
        }
        return ExitStatus::ok;
    }
};

} // namespace

std::unique_ptr<Subcommand> makeDecodeCommand()
{
    return std::make_unique<DecodeCommand>();
}

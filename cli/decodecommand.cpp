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
                              "local time and its offset from UTC, decoded with the configuration of --config. "
                              "A recording cut off by a crash is decoded up to its last complete record (said "
                              "on standard error); a file that is no recording, or damaged, ends with status 9; "
                              "an output that cannot be written, with status 1.");
    }

    int run(const QCommandLineParser &, const QStringList &arguments, const CommonOptions &common) override
    {
        if (arguments.size() != 1)
            return usageError(arguments.isEmpty() ? QStringLiteral("which file?")
                                                  : QStringLiteral("one file at a time"));
        Configuration configuration;
        if (!readTelemetryConfiguration(common, &configuration))
            return ExitStatus::badConfig;

        if (!Output::flush())
            return ExitStatus::failure;
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly)) {
            Output::noteFailure(out.errorString());
            return ExitStatus::failure;
        }
        RecordingDecoder decoder(configuration.telemetry, configuration.descriptions());
        decoder.decode(arguments.first(), &out);
        // Every byte must have reached standard output, else the CSV is not what it claims.
        QString outputError = decoder.outputError();
        if (!out.flush() && outputError.isEmpty())
            outputError = out.errorString();
        out.close();
        if (!outputError.isEmpty())
            Output::noteFailure(outputError);
        // A lost output outweighs what the recording holds (a cut-off recording is otherwise
        // the usual end of one whose program did not close it, and no failure).
        const bool written = Output::flush();
        if (!decoder.errorString().isEmpty())
            complain(decoder.errorString());
        if (!written)
            return ExitStatus::failure;
        if (!decoder.headerRead())
            return ExitStatus::badRecording;
        if (decoder.status() != RecordingReader::Status::Ok
            && decoder.status() != RecordingReader::Status::Truncated)
            return ExitStatus::badRecording;
        return ExitStatus::ok;
    }
};

} // namespace

std::unique_ptr<Subcommand> makeDecodeCommand()
{
    return std::make_unique<DecodeCommand>();
}

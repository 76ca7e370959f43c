// tolvexctl record FILE: every report the device sends, with its time, into a recording that
// the window replays (--replay) and decode turns into a session file.
#include "configuration.h"
#include "devicelink.h"
#include "devicetag.h"
#include "exitstatus.h"
#include "output.h"
#include "recordingwriter.h"
#include "stopsignals.h"
#include "subcommand.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace {

const QCommandLineOption countOption(QStringLiteral("count"), QStringLiteral("Stop after N reports."),
                                     QStringLiteral("N"));
const QCommandLineOption durationOption(QStringLiteral("duration"),
                                        QStringLiteral("Stop after SECONDS (fractions allowed)."),
                                        QStringLiteral("SECONDS"));

class RecordCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("record"); }
    QString arguments() const override { return QStringLiteral("FILE"); }
    QString summary() const override
    {
        return QStringLiteral("Records every report the device sends, with its time, into FILE (replaced if it "
                              "exists) until a count, a duration, Ctrl+C or the device's departure ends it. "
                              "Tolvex_Client --replay FILE plays it back; tolvexctl decode FILE decodes it.");
    }
    QList<QCommandLineOption> options() const override { return {countOption, durationOption}; }

    int run(const QCommandLineParser &parser, const QStringList &arguments, const CommonOptions &common) override
    {
        if (arguments.size() != 1)
            return usageError(arguments.isEmpty() ? QStringLiteral("which file?")
                                                  : QStringLiteral("one file at a time"));
        bool ok = true;
        const qint64 count = parser.isSet(countOption) ? parser.value(countOption).toLongLong(&ok) : -1;
        if (!ok || (parser.isSet(countOption) && count < 1))
            return usageError(QStringLiteral("--count wants a whole number of reports, at least 1"));
        const double duration = parser.isSet(durationOption) ? parser.value(durationOption).toDouble(&ok) : -1;
        if (!ok || (parser.isSet(durationOption) && !(duration >= 0 && duration < 1e9)))
            return usageError(QStringLiteral("--duration wants a number of seconds"));

        Configuration configuration;
        if (!readConfiguration(common, &configuration))
            return ExitStatus::badConfig;
        DeviceLink link(common);
        int status = link.installPlatform(configuration);
        if (status == ExitStatus::ok)
            status = link.open();
        if (status != ExitStatus::ok)
            return status;

        RecordingFormat::Header header;
        header.product = link.product();
        header.path = link.path();
        header.tag = deviceTag(link.product(), link.path());
        header.configuration = configuration.text;
        RecordingWriter writer;
        if (!writer.open(arguments.first(), header)) {
            complain(QStringLiteral("%1: %2").arg(arguments.first(), writer.errorString()));
            link.stop();
            return ExitStatus::failure;
        }

        QEventLoop loop;
        qint64 recorded = 0;
        bool ending = false;
        auto finish = [&](int exitStatus) {
            if (ending)
                return;
            ending = true;
            status = exitStatus;
            loop.quit();
        };
        QObject::connect(&link, &DeviceLink::report, &loop, [&](const QByteArray &report) {
            if (count >= 0 && recorded >= count)
                return;
            writer.record(RecordingFormat::RecordKind::Report, report);
            if (++recorded == count)
                finish(ExitStatus::ok);
        });
        QObject::connect(&link, &DeviceLink::gone, &loop, [&] {
            complain(QStringLiteral("device %1 (%2) is gone").arg(link.deviceText(), link.path()));
            finish(ExitStatus::deviceGone);
        });
        StopSignals stopSignals;
        QObject::connect(&stopSignals, &StopSignals::stopRequested, &loop, [&] { finish(ExitStatus::ok); });
        if (duration >= 0)
            QTimer::singleShot(qRound64(duration * 1000), Qt::PreciseTimer, &loop, [&] { finish(ExitStatus::ok); });

        loop.exec();
        // Reports already read when the end came are recorded too (up to the count).
        link.stop();
        writer.close();
        if (writer.failed()) {
            complain(QStringLiteral("%1: %2; the recording holds what came before")
                         .arg(arguments.first(), writer.errorString()));
            return ExitStatus::failure;
        }
        complain(QStringLiteral("recorded %1 reports from %2 into %3")
                     .arg(writer.recordCount())
                     .arg(link.deviceText(), QFileInfo(arguments.first()).fileName()));
        return status;
    }
};

} // namespace

std::unique_ptr<Subcommand> makeRecordCommand()
{
    return std::make_unique<RecordCommand>();
}

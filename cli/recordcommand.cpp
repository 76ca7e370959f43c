// tolvexctl record FILE: every report the device sends, with its time, into a recording that
// the window replays (--replay) and decode turns into a session file.
#include "configuration.h"
#include "devicelink.h"
#include "devicetag.h"
#include "devicesession.h"
#include "exitstatus.h"
#include "mqttlink.h"
#include "remotecommandlink.h"
#include "output.h"
#include "reportdecoder.h"
#include "reportlayout.h"
#include "recordingwriter.h"
#include "runlimits.h"
#include "subcommand.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>

namespace {

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
    QList<QCommandLineOption> options() const override
    {
        return QList<QCommandLineOption>{MqttLink::option()} + RunLimits::options();
    }

    int run(const QCommandLineParser &parser, const QStringList &arguments, const CommonOptions &common) override
    {
        if (arguments.size() != 1)
            return usageError(arguments.isEmpty() ? QStringLiteral("which file?")
                                                  : QStringLiteral("one file at a time"));
        RunLimits limits;
        const QString limitsError = limits.read(parser);
        if (!limitsError.isEmpty())
            return usageError(limitsError);
        const qint64 count = limits.count;

        Configuration configuration;
        if (!readConfiguration(common, &configuration))
            return ExitStatus::badConfig;
        MqttLink mqtt;
        const QString mqttError = mqtt.read(parser, configuration);
        if (!mqttError.isEmpty())
            return usageError(mqttError);
        DeviceLink link(common);
        int status = link.installPlatform(configuration);
        if (status == ExitStatus::ok)
            status = link.openDevice();
        if (status != ExitStatus::ok)
            return status;
        // Telemetry is decoded only to be published.
        std::unique_ptr<ReportDecoder> decoder;
        if (mqtt.enabled() && configuration.telemetry.id == 0) {
            decoder = std::make_unique<ReportDecoder>(configuration.descriptions());
            mqtt.start(configuration.telemetry, link.product(), deviceTag(link.product(), link.path()));
        }
        ReportDecoder::Fields fields;
        QStringList texts;

        // The session records each report as it reads it, with the time it read it, and the
        // device's going and coming back (--follow): no device from the one moment, the device
        // again from the other. Begun before the exchange, so that the first report is in it.
        DeviceSession &session = *link.deviceSession();
        const RecordingWriter &writer = session.recording();
        if (!session.startRecording(arguments.first(), configuration.text, count)) {
            complain(QStringLiteral("%1: %2").arg(arguments.first(), writer.errorString()));
            return ExitStatus::failure;
        }
        link.startExchange();

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
            if (decoder && report.size() > ReportLayout::idByte && report.at(ReportLayout::idByte) == 0
                && decoder->decodeFields(report, &fields, &texts))
                mqtt.publish(QDateTime::currentMSecsSinceEpoch(), fields, texts);
            if (++recorded == count)
                finish(ExitStatus::ok);
        });
        const RunEndings endings(link, loop, limits, finish);
        // Commands from the broker, when its settings allow them, sent, answered and recorded.
        if (MqttPublisher *publisher = mqtt.publisherInUse())
            answerRemoteCommands(link, *publisher, configuration, &loop);

        loop.exec();
        // Reports already read when the end came are recorded too (up to the count).
        link.stop();
        session.stopRecording();
        mqtt.stop();
        if (writer.failed()) {
            complain(QStringLiteral("%1: %2; the recording holds what came before")
                         .arg(arguments.first(), writer.errorString()));
            return ExitStatus::failure;
        }
        complain(QStringLiteral("recorded %1 reports from %2 into %3")
                     .arg(recorded)
                     .arg(link.deviceText(), QFileInfo(arguments.first()).fileName()));
        return status;
    }
};

} // namespace

std::unique_ptr<Subcommand> makeRecordCommand()
{
    return std::make_unique<RecordCommand>();
}

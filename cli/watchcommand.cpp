// tolvexctl watch: decoded telemetry, one line per report, until a count, a duration, a stop
// request (Ctrl+C, SIGTERM) or the device's departure ends it.
#include "configuration.h"
#include "devicelink.h"
#include "exitstatus.h"
#include "devicetag.h"
#include "lineformat.h"
#include "mqttlink.h"
#include "output.h"
#include "reportdecoder.h"
#include "reportlayout.h"
#include "simulation.h"
#include "runlimits.h"
#include "subcommand.h"

#include <QDateTime>
#include <QEventLoop>
#include <QSysInfo>

namespace {

const QCommandLineOption formatOption(QStringLiteral("format"),
                                      QStringLiteral("Output format: csv (the default; a header line with names and "
                                                     "units first), jsonl (one JSON object per line) or influx "
                                                     "(InfluxDB line protocol, as published to MQTT)."),
                                      QStringLiteral("csv|jsonl|influx"), QStringLiteral("csv"));

class WatchCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("watch"); }
    QString summary() const override
    {
        return QStringLiteral("Decoded telemetry, one line per report: the time it arrived (UTC, ISO 8601 "
                              "with milliseconds) and every value as the window shows it.");
    }
    QList<QCommandLineOption> options() const override
    {
        return QList<QCommandLineOption>{formatOption, MqttLink::option()} + RunLimits::options();
    }

    int run(const QCommandLineParser &parser, const QStringList &arguments, const CommonOptions &common) override
    {
        if (!arguments.isEmpty())
            return usageError(QStringLiteral("unexpected argument '%1'").arg(arguments.first()));
        const QString format = parser.value(formatOption);
        if (format != QLatin1String("csv") && format != QLatin1String("jsonl") && format != QLatin1String("influx"))
            return usageError(QStringLiteral("--format is csv, jsonl or influx, not '%1'").arg(format));
        const bool csv = format == QLatin1String("csv");
        const bool influx = format == QLatin1String("influx");
        RunLimits limits;
        const QString limitsError = limits.read(parser);
        if (!limitsError.isEmpty())
            return usageError(limitsError);
        const qint64 count = limits.count;

        Configuration configuration;
        if (!readTelemetryConfiguration(common, &configuration))
            return ExitStatus::badConfig;
        const CommandDescription &telemetry = configuration.telemetry;
        MqttLink mqtt;
        const QString mqttError = mqtt.read(parser, configuration);
        if (!mqttError.isEmpty())
            return usageError(mqttError);

        DeviceLink link(common);
        int status = link.start(configuration);
        if (status != ExitStatus::ok)
            return status;
        const QString tag = deviceTag(link.product(), link.path());
        mqtt.start(telemetry, link.product(), tag);
        MqttPayload influxLines;
        influxLines.setInfluxTags(QSysInfo::machineHostName(), tag);
        QVector<MqttValue> influxValues;

        const QStringList keys = LineFormat::uniqueNames(telemetry.inNames);
        QVector<QByteArray> jsonKeys;
        if (csv) {
            QByteArray header = "time";
            for (int i = 0; i < telemetry.inNames.size(); ++i) {
                const QString units = telemetry.inUnits.value(i);
                header += ',';
                header += LineFormat::csvField(units.isEmpty() ? telemetry.inNames.at(i)
                                                               : telemetry.inNames.at(i) + QStringLiteral(" (")
                                                                     + units + QLatin1Char(')'));
            }
            Output::line(header);
        } else if (!influx) {
            for (const QString &key : keys)
                jsonKeys << LineFormat::jsonString(key) + ':';
        }

        ReportDecoder decoder(configuration.descriptions());
        QEventLoop loop;
        qint64 printed = 0;
        bool ending = false;
        bool countReached = false;
        auto finish = [&](int exitStatus) {
            if (ending)
                return;
            ending = true;
            status = exitStatus;
            loop.quit();
        };

        QStringList texts;
        ReportDecoder::Fields fields;
        QObject::connect(&link, &DeviceLink::report, &loop, [&](const QByteArray &report) {
            if (countReached || report.size() <= ReportLayout::idByte || report.at(ReportLayout::idByte) != 0)
                return;
            texts.clear();
            if (!decoder.decodeFields(report, &fields, &texts))
                return;
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            mqtt.publish(now, fields, texts);
            QByteArray line = LineFormat::timestamp(now);
            if (influx) {
                MqttLink::fill(&influxValues, telemetry, fields, texts);
                line = influxLines.influx(now, influxValues);
            } else if (csv) {
                for (const QString &text : qAsConst(texts)) {
                    line += ',';
                    line += LineFormat::csvField(text);
                }
            } else {
                QByteArray json = "{\"time\":\"" + line + "\",\"values\":{";
                for (int i = 0; i < texts.size(); ++i) {
                    if (i > 0)
                        json += ',';
                    json += jsonKeys.value(i);
                    json += LineFormat::jsonString(texts.at(i));
                }
                json += "}}";
                line = json;
            }
            if (!line.isEmpty() || !influx) // an influx line needs a value that is a number or a text
                Output::line(line);
            if (Output::failed())
                finish(ExitStatus::failure);
            if (++printed == count) {
                countReached = true;
                finish(ExitStatus::ok);
            }
        });
        const RunEndings endings(link, loop, limits, finish);

        loop.exec();
        // What was read before the end is printed too; the simulated device's telemetry, sent
        // before the end, is all read first, so that a count of it shows nothing was lost.
        link.stop(status == ExitStatus::ok && !countReached);
        mqtt.stop();
        if (!Output::flush() && status == ExitStatus::ok)
            status = ExitStatus::failure;
        if (link.simulation() && link.simulation()->wantsStats()) {
            complain(QStringLiteral("simulated telemetry: %1 reports sent, %2 printed")
                         .arg(link.simulation()->reportsSent())
                         .arg(printed));
        }
        return status;
    }
};

} // namespace

std::unique_ptr<Subcommand> makeWatchCommand()
{
    return std::make_unique<WatchCommand>();
}

// tolvexctl send: one command to the device, its answer printed.
#include "configuration.h"
#include "devicelink.h"
#include "exitstatus.h"
#include "fieldcodec.h"
#include "lineformat.h"
#include "output.h"
#include "reportdecoder.h"
#include "reportlayout.h"
#include "requestframe.h"
#include "subcommand.h"

#include <QEventLoop>
#include <QTimer>

namespace {

const QCommandLineOption timeoutOption(QStringLiteral("timeout"),
                                       QStringLiteral("How long to wait for the answer (default 1000, as the window)."),
                                       QStringLiteral("MS"), QStringLiteral("1000"));
const QCommandLineOption formatOption(QStringLiteral("format"),
                                      QStringLiteral("Output format: text (the default; one name=text line per answer "
                                                     "field) or jsonl (one JSON object)."),
                                      QStringLiteral("text|jsonl"), QStringLiteral("text"));

QString commandList(const Configuration &configuration)
{
    QStringList names;
    for (const CommandDescription &command : configuration.commands)
        names << QStringLiteral("\"%1\" (%2)").arg(command.name).arg(command.id);
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}


QString fieldText(const CommandDescription &command, int field)
{
    const ParamType type = command.outTypes.value(field);
    QString text = QStringLiteral("field \"%1\" (%2").arg(command.outNames.value(field), command.typeName.value(type));
    if (type != TypeString)
        text += QStringLiteral(", ") + command.viewName.value(command.outViews.value(field));
    return text + QLatin1Char(')');
}

class SendCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("send"); }
    QString arguments() const override { return QStringLiteral("COMMAND [FIELD=VALUE ...]"); }
    QString summary() const override
    {
        return QStringLiteral("Sends a command (by name or id) and prints its answer. Fields are typed as in "
                              "the window's form, in the base of their view; fields not named take their "
                              "defaults.");
    }
    QList<QCommandLineOption> options() const override { return {timeoutOption, formatOption}; }

    int run(const QCommandLineParser &parser, const QStringList &arguments, const CommonOptions &common) override
    {
        if (arguments.isEmpty())
            return usageError(QStringLiteral("which command? (name or id)"));
        bool ok = false;
        const int timeoutMs = parser.value(timeoutOption).toInt(&ok);
        if (!ok || timeoutMs < 0)
            return usageError(QStringLiteral("--timeout wants a number of milliseconds"));
        const QString format = parser.value(formatOption);
        if (format != QLatin1String("text") && format != QLatin1String("jsonl"))
            return usageError(QStringLiteral("--format is text or jsonl, not '%1'").arg(format));
        QList<QPair<QString, QString>> given;
        for (int i = 1; i < arguments.size(); ++i) {
            const int equals = arguments.at(i).indexOf(QLatin1Char('='));
            if (equals <= 0)
                return usageError(QStringLiteral("'%1' is not FIELD=VALUE").arg(arguments.at(i)));
            given.append({arguments.at(i).left(equals), arguments.at(i).mid(equals + 1)});
        }

        Configuration configuration;
        if (!readConfiguration(common, &configuration))
            return ExitStatus::badConfig;
        const CommandDescription *command = configuration.findCommand(arguments.first());
        if (!command) {
            complain(QStringLiteral("no command \"%1\" in %2; its commands: %3")
                         .arg(arguments.first(), common.configPath, commandList(configuration)));
            return ExitStatus::unknownName;
        }
        QStringList unknown;
        const QStringList texts = RequestFrame::textsWithDefaults(*command, given, &unknown);
        if (!unknown.isEmpty()) {
            complain(QStringLiteral("command \"%1\" has no field \"%2\"; its fields: %3")
                         .arg(command->name, unknown.first(),
                              command->outNames.isEmpty() ? QStringLiteral("none")
                                                          : command->outNames.join(QStringLiteral(", "))));
            return ExitStatus::unknownName;
        }
        // A value is checked before anything is opened: a refused one sends nothing at all.
        // FIELD= with nothing after it is an unset variable in a script, not a 0.
        for (const auto &field : qAsConst(given)) {
            if (field.second.isEmpty()) {
                const int index = command->outNames.indexOf(field.first);
                complain(QStringLiteral("%1 has no value; it takes %2")
                             .arg(fieldText(*command, index), RequestFrame::acceptedText(*command, index)));
                return ExitStatus::usage;
            }
        }
        QList<int> refused;
        const QByteArray request = RequestFrame::make(*command, texts, &refused);
        for (const int index : qAsConst(refused)) {
            complain(QStringLiteral("%1 takes %2, not \"%3\"")
                         .arg(fieldText(*command, index), RequestFrame::acceptedText(*command, index), texts.value(index)));
        }
        if (request.isEmpty())
            return ExitStatus::usage;

        const int idByte = ReportLayout::idByteOf(command->id);
        if (idByte == 0) {
            // Its answer could not be told from telemetry.
            complain(QStringLiteral("command \"%1\" has id %2, which travels as id byte 0, the telemetry's")
                         .arg(command->name)
                         .arg(command->id));
            return ExitStatus::unknownName;
        }

        DeviceLink link(common);
        int status = link.start(configuration);
        if (status != ExitStatus::ok)
            return status;

        ReportDecoder decoder(configuration.descriptions());
        const CommandDescription *answerDescription = decoder.descriptionFor(idByte);
        const QStringList names = answerDescription ? LineFormat::uniqueNames(answerDescription->inNames) : QStringList();
        QEventLoop loop;
        QStringList answer;
        QByteArray answeredAt;
        QObject::connect(&link, &DeviceLink::report, &loop, [&](const QByteArray &report) {
            if (status != ExitStatus::ok || report.size() <= ReportLayout::idByte
                || quint8(report.at(ReportLayout::idByte)) != idByte)
                return;
            // As in the window: an answer counts when its id byte has a description.
            if (decoder.decode(report, &answer)) {
                answeredAt = LineFormat::timestamp();
                loop.exit(1);
            }
        });
        QObject::connect(&link, &DeviceLink::gone, &loop, [&] {
            complain(QStringLiteral("device %1 (%2) is gone").arg(link.deviceText(), link.path()));
            status = ExitStatus::deviceGone;
            loop.exit(0);
        });
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, [&] {
            complain(QStringLiteral("no answer to \"%1\" from %2 within %3 ms")
                         .arg(command->name, link.deviceText())
                         .arg(timeoutMs));
            status = ExitStatus::timedOut;
            link.withdrawRequest();
            loop.exit(0);
        });

        link.queueRequest(request); // a fresh link holds no earlier request
        timeout.start(timeoutMs);
        const bool answered = loop.exec() == 1;
        link.stop();
        if (!answered)
            return status;

        if (format == QLatin1String("jsonl")) {
            Output::line("{\"time\":\"" + answeredAt + "\",\"command\":"
                         + LineFormat::jsonString(command->name) + ",\"id\":" + QByteArray::number(command->id)
                         + ",\"values\":" + LineFormat::jsonObject(names, answer) + '}');
        } else {
            for (int i = 0; i < answer.size(); ++i)
                Output::line(names.value(i) + QLatin1Char('=') + answer.at(i));
        }
        return Output::flush() ? ExitStatus::ok : ExitStatus::failure;
    }
};

} // namespace

std::unique_ptr<Subcommand> makeSendCommand()
{
    return std::make_unique<SendCommand>();
}

// tolvexctl check-config: every problem of a configuration file.
#include "configuration.h"
#include "exitstatus.h"
#include "mqttsettings.h"
#include "output.h"
#include "subcommand.h"

#include <QJsonObject>

namespace {

class CheckConfigCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("check-config"); }
    QString arguments() const override { return QStringLiteral("[FILE]"); }
    QString summary() const override
    {
        return QStringLiteral("Every problem of a configuration (FILE, or that of --config): JSON errors with "
                              "line and column, keys that took their defaults, fields that do not fit a report. "
                              "Exit status 0 only for a clean file.");
    }

    int run(const QCommandLineParser &, const QStringList &arguments, const CommonOptions &common) override
    {
        if (arguments.size() > 1)
            return usageError(QStringLiteral("one file at a time"));
        const QString path = arguments.isEmpty() ? common.configPath : arguments.first();
        Configuration configuration = Configuration::load(path);
        MqttSettings::read(configuration.document(), path, &configuration.problems);
        for (const ConfigurationProblem &problem : configuration.problems) {
            if (problem.kind == ConfigurationProblem::Kind::JsonSyntax)
                Output::line(QStringLiteral("%1:%2:%3: %4").arg(path).arg(problem.line).arg(problem.column).arg(problem.message));
            else
                Output::line(path + QStringLiteral(": ") + problem.text());
        }
        if (configuration.isClean()) {
            Output::line(QStringLiteral("%1: no problems; telemetry with %2 values, %3 commands")
                             .arg(path)
                             .arg(configuration.telemetry.inNames.size())
                             .arg(configuration.commands.size()));
        }
        if (!Output::flush())
            return ExitStatus::failure;
        return configuration.isClean() ? ExitStatus::ok : ExitStatus::badConfig;
    }
};

} // namespace

std::unique_ptr<Subcommand> makeCheckConfigCommand()
{
    return std::make_unique<CheckConfigCommand>();
}

#include "subcommand.h"

#include "configuration.h"
#include "exitstatus.h"
#include "output.h"

std::vector<std::unique_ptr<Subcommand>> allSubcommands()
{
    std::vector<std::unique_ptr<Subcommand>> all;
    all.push_back(makeListCommand());
    all.push_back(makeWatchCommand());
    all.push_back(makeSendCommand());
    all.push_back(makeRecordCommand());
    all.push_back(makeDecodeCommand());
    all.push_back(makeCheckConfigCommand());
    return all;
}

int Subcommand::usageError(const QString &message) const
{
    complain(QStringLiteral("%1: %2 (see tolvexctl %1 --help)").arg(name(), message));
    return ExitStatus::usage;
}

bool Subcommand::readConfiguration(const CommonOptions &common, Configuration *configuration)
{
    *configuration = Configuration::load(common.configPath);
    for (const ConfigurationProblem &problem : qAsConst(configuration->problems)) {
        switch (problem.kind) {
        case ConfigurationProblem::Kind::FileMissing:
        case ConfigurationProblem::Kind::JsonSyntax:
        case ConfigurationProblem::Kind::NotAnObject:
            complain(QStringLiteral("configuration %1: %2").arg(common.configPath, problem.text()));
            return false;
        default:
            break;
        }
    }
    return true;
}

bool Subcommand::readTelemetryConfiguration(const CommonOptions &common, Configuration *configuration)
{
    if (!readConfiguration(common, configuration))
        return false;
    if (configuration->telemetry.id != 0) {
        complain(QStringLiteral("configuration %1 describes no telemetry (no entry with id 0)")
                     .arg(common.configPath));
        return false;
    }
    return true;
}

// tolvexctl: the device from the shell. Lists devices, prints decoded telemetry, sends commands
// and checks configurations, with the window's configuration, decoding and transport.
#include "configlocation.h"
#include "exitstatus.h"
#include "output.h"
#include "standardoutput.h"
#include "subcommand.h"

#include <QCoreApplication>
#include <QSet>

#include <cstdio>

namespace {

const char exitStatusHelp[] =
    "Exit statuses:\n"
    "  0  done (check-config: the file is clean)\n"
    "  1  another failure (output could not be written)\n"
    "  2  usage error\n"
    "  3  no device (none found, or not the one --device names)\n"
    "  4  the device does not open (usually permission: see the udev rule 70-tolvex-client.rules)\n"
    "  5  send: no answer within the time-out\n"
    "  6  send: no such command or field\n"
    "  7  the device went away while in use\n"
    "  8  the configuration cannot be read (check-config: it has problems)\n"
    "  9  decode: the file is no recording, or a damaged one (rows before the damage are written)\n";

struct CommonOptionSet
{
    QCommandLineOption config{QStringLiteral("config"),
                              QStringLiteral("Configuration file (default: Tolvex_Client.json beside tolvexctl)."),
                              QStringLiteral("FILE"), windowConfigPathBesideExecutable()};
    QCommandLineOption device{QStringLiteral("device"),
                              QStringLiteral("The device, by tag or path (default: the first one listed)."),
                              QStringLiteral("TAG|PATH")};
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Talk to the demo's simulated device instead of USB.")};
    QCommandLineOption sim{QStringLiteral("sim"),
                           QStringLiteral("A setting of the simulated device (implies --simulate): rate=N, "
                                          "answers=on|off, devices=N, open=ok|fail, unplug-after=MS, replug-after=MS, "
                                          "stats."),
                           QStringLiteral("KEY=VALUE")};

    QList<QCommandLineOption> all() const { return {config, device, simulate, sim}; }
};

void printGeneralHelp(const std::vector<std::unique_ptr<Subcommand>> &subcommands, const CommonOptionSet &common)
{
    QString text = QStringLiteral("Usage: tolvexctl [options] SUBCOMMAND [arguments]\n\n"
                                  "The Tolvex measuring device (USB HID 0483:5750) from the shell, with the "
                                  "window's configuration, decoding and transport.\n\nSubcommands:\n");
    for (const auto &subcommand : subcommands) {
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(subcommand->name(), subcommand->arguments(), subcommand->summary());
    }
    text += QStringLiteral("\nOptions of every subcommand:\n");
    for (const QCommandLineOption &option : common.all()) {
        const QString value = option.valueName().isEmpty() ? QString() : QLatin1Char(' ') + option.valueName();
        text += QStringLiteral("  --%1%2\n      %3\n").arg(option.names().first(), value, option.description());
    }
    text += QStringLiteral("  -h, --help     this text; tolvexctl SUBCOMMAND --help: that subcommand's options\n"
                           "  -v, --version  the version\n\n");
    text += QLatin1String(exitStatusHelp);
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

// The first argument that is neither an option nor an option's value.
int subcommandPosition(const QStringList &arguments, const QSet<QString> &optionsWithValues)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            return i + 1 < arguments.size() ? i + 1 : -1;
        if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
            if (!name.contains(QLatin1Char('=')) && optionsWithValues.contains(name))
                ++i;
            continue;
        }
        return i;
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    prepareStandardOutput();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tolvexctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOLVEX_VERSION));

    const std::vector<std::unique_ptr<Subcommand>> subcommands = allSubcommands();
    const CommonOptionSet common;
    QSet<QString> optionsWithValues;
    auto noteValues = [&](const QList<QCommandLineOption> &options) {
        for (const QCommandLineOption &option : options) {
            if (!option.valueName().isEmpty()) {
                for (const QString &name : option.names())
                    optionsWithValues.insert(name);
            }
        }
    };
    noteValues(common.all());
    for (const auto &subcommand : subcommands)
        noteValues(subcommand->options());

    const QStringList arguments = QCoreApplication::arguments();
    const int position = subcommandPosition(arguments, optionsWithValues);
    if (position < 0) {
        if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
            printGeneralHelp(subcommands, common);
            return ExitStatus::ok;
        }
        if (arguments.contains(QStringLiteral("--version")) || arguments.contains(QStringLiteral("-v"))) {
            std::printf("tolvexctl %s\n", TOLVEX_VERSION);
            return ExitStatus::ok;
        }
        complain(QStringLiteral("which subcommand? (list, watch, send, record, decode, check-config; see tolvexctl --help)"));
        return ExitStatus::usage;
    }
    Subcommand *subcommand = nullptr;
    for (const auto &candidate : subcommands) {
        if (candidate->name() == arguments.at(position))
            subcommand = candidate.get();
    }
    if (!subcommand) {
        complain(QStringLiteral("unknown subcommand \"%1\" (see tolvexctl --help)").arg(arguments.at(position)));
        return ExitStatus::usage;
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(subcommand->summary());
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addOptions(common.all());
    parser.addOptions(subcommand->options());
    parser.addPositionalArgument(subcommand->name(), QStringLiteral("the subcommand and its arguments"),
                                 (subcommand->name() + QLatin1Char(' ') + subcommand->arguments()).trimmed());
    if (!parser.parse(arguments)) {
        complain(QStringLiteral("%1 (see tolvexctl %2 --help)").arg(parser.errorText(), subcommand->name()));
        return ExitStatus::usage;
    }
    if (parser.isSet(helpOption)) {
        std::fputs((parser.helpText() + QLatin1Char('\n') + QLatin1String(exitStatusHelp)).toLocal8Bit().constData(),
                   stdout);
        return ExitStatus::ok;
    }
    if (parser.isSet(versionOption)) {
        std::printf("tolvexctl %s\n", TOLVEX_VERSION);
        return ExitStatus::ok;
    }

    QStringList rest = parser.positionalArguments();
    rest.removeFirst(); // the subcommand's name
    CommonOptions options;
    options.configPath = parser.value(common.config);
    options.device = parser.value(common.device);
    options.simSettings = parser.values(common.sim);
    options.simulate = parser.isSet(common.simulate) || !options.simSettings.isEmpty();
    const int status = subcommand->run(parser, rest, options);
    // Whatever the subcommand found, output that did not reach its destination is a failure.
    if (!Output::flush() && status == ExitStatus::ok)
        return ExitStatus::failure;
    return status;
}

#ifndef SUBCOMMAND_H
#define SUBCOMMAND_H

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class Configuration;

// The options every subcommand takes.
struct CommonOptions
{
    QString configPath;        // --config, or the file beside the executable
    QString device;            // --device: tag or path; empty for the first device
    bool simulate = false;     // --simulate: the demo's simulated device instead of USB
    QStringList simSettings;   // --sim KEY=VALUE, each as given
};

// One subcommand of tolvexctl: its name, its options and what it does. Each lives in a file
// of its own and is listed once in subcommands.cpp.
class Subcommand
{
public:
    virtual ~Subcommand() = default;

    virtual QString name() const = 0;
    // The arguments after the name, as the usage line shows them ("COMMAND [FIELD=VALUE ...]").
    virtual QString arguments() const { return QString(); }
    virtual QString summary() const = 0;
    virtual QList<QCommandLineOption> options() const { return {}; }

    // Runs with the parsed command line (its positional arguments start after the name).
    // Returns the exit status. A usage error is reported through usageError().
    virtual int run(const QCommandLineParser &parser, const QStringList &arguments,
                    const CommonOptions &common) = 0;

protected:
    // Prints the message and the subcommand's usage hint; returns the usage status.
    int usageError(const QString &message) const;
    // Reads the configuration of --config. A file that cannot be opened or does not parse is
    // said on standard error and gives false; keys that took defaults are left to check-config.
    static bool readConfiguration(const CommonOptions &common, Configuration *configuration);
    // The same for a subcommand that needs telemetry: a configuration without an entry of
    // id 0 is said too and gives false.
    static bool readTelemetryConfiguration(const CommonOptions &common, Configuration *configuration);
};

std::unique_ptr<Subcommand> makeListCommand();
std::unique_ptr<Subcommand> makeWatchCommand();
std::unique_ptr<Subcommand> makeSendCommand();
std::unique_ptr<Subcommand> makeRecordCommand();
std::unique_ptr<Subcommand> makeDecodeCommand();
std::unique_ptr<Subcommand> makeCheckConfigCommand();

// Every subcommand, in the order --help lists them.
std::vector<std::unique_ptr<Subcommand>> allSubcommands();

#endif // SUBCOMMAND_H

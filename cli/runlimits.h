#ifndef RUNLIMITS_H
#define RUNLIMITS_H

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class DeviceLink;
class QCommandLineParser;
class QEventLoop;
class StopSignals;

// How long a subcommand that follows the device's reports (watch, record) goes on: its
// --count and --duration options, and the endings such runs share.
struct RunLimits
{
    qint64 count = -1;     // reports; -1 for no limit
    double duration = -1;  // seconds; -1 for no limit
    bool follow = false;   // a device that goes is waited for instead of ending the run

    static QList<QCommandLineOption> options();
    // Reads both options; the usage error, or an empty string when they are good.
    QString read(const QCommandLineParser &parser);
};

// Ends a run through finish(exit status) when the device goes (with a word on stderr; with
// --follow the run goes on, and stderr says when it comes back), when a stop is requested
// (Ctrl+C, SIGTERM) or when the duration is spent. Lives as long as the run.
class RunEndings
{
public:
    RunEndings(DeviceLink &link, QEventLoop &loop, const RunLimits &limits,
               const std::function<void(int)> &finish);
    ~RunEndings();

private:
    std::unique_ptr<StopSignals> stopSignals;
};

#endif // RUNLIMITS_H

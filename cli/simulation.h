#ifndef SIMULATION_H
#define SIMULATION_H

#include "configuration.h"
#include "simplatform.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class CommandAnswerer;
class TelemetryGenerator;

// The demo's simulated device for --simulate: "Tolvex demo" at /sim/hidraw0, telemetry for
// the configuration at 100 reports per second, every command answered after a short delay.
// --sim KEY=VALUE changes it, for trying out and testing what a script does when things go
// wrong:
//   rate=N           telemetry reports per second (0: none)
//   answers=off      take requests but never answer
//   devices=N        how many devices are plugged in (0: none); the next is /sim/hidraw1, ...
//   open=fail        the devices do not open (as without permission)
//   unplug-after=MS  the first device is pulled out MS milliseconds after start
//   replug-after=MS  ... and plugged in again under the same path MS milliseconds later; with
//                    0 at once, before any notice of its going is heard (as a device that
//                    re-enumerates and gets its old node back)
//   stats            at the end, say on standard error how many telemetry reports were sent
class Simulation : public QObject
{
    Q_OBJECT

public:
    explicit Simulation(QObject *parent = nullptr);
    ~Simulation() override;

    // Reads the settings; false with a message for one it does not know.
    bool configure(const QStringList &settings, QString *error);
    // Plugs the devices, talking as the configuration describes, into its platform.
    void start(const Configuration &configuration);
    // The platform the devices are plugged into.
    HidPlatform *platform() { return &simPlatform; }
    // Stops the telemetry for good (already sent reports stay queued for reading).
    void stopTelemetry();
    // Reports sent and not yet read, over every device.
    int unreadReports() const;
    // Whether the settings ask for the count of telemetry reports at the end (stats).
    bool wantsStats() const { return stats; }
    // Telemetry reports the devices sent so far.
    quint64 reportsSent() const;

private:
    struct Unit;

    std::unique_ptr<Unit> makeUnit(const QString &path);
    void unplugFirst();

    SimPlatform simPlatform;
    std::vector<std::unique_ptr<Unit>> units;
    std::vector<std::unique_ptr<Unit>> retired; // unplugged for good, kept for their counts
    QList<CommandDescription> commands;
    CommandDescription telemetry;
    int rate = 100;
    bool answering = true;
    int deviceCount = 1;
    bool openFails = false;
    int unplugAfterMs = -1;
    int replugAfterMs = -1;
    bool stats = false;
};

#endif // SIMULATION_H

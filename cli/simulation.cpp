#include "simulation.h"

#include "commandanswerer.h"
#include "telemetrygenerator.h"

#include <QTimer>

struct Simulation::Unit
{
    std::shared_ptr<SimDevice> device;
    std::unique_ptr<CommandAnswerer> answerer;
    std::unique_ptr<TelemetryGenerator> generator;
};

Simulation::Simulation(QObject *parent) : QObject(parent) {}

Simulation::~Simulation()
{
    // The generators end before their devices leave the platform.
    for (auto &unit : retired) {
        unit->generator.reset();
        unit->device->setResponder(nullptr);
    }
    for (auto &unit : units) {
        unit->generator.reset();
        unit->device->setResponder(nullptr);
        simPlatform.unplug(unit->device);
    }
}

bool Simulation::configure(const QStringList &settings, QString *error)
{
    for (const QString &setting : settings) {
        const QString key = setting.section(QLatin1Char('='), 0, 0);
        const QString value = setting.section(QLatin1Char('='), 1);
        bool ok = true;
        if (key == QLatin1String("rate")) {
            rate = value.toInt(&ok);
            ok = ok && rate >= 0;
        } else if (key == QLatin1String("answers")) {
            ok = value == QLatin1String("on") || value == QLatin1String("off");
            answering = value == QLatin1String("on");
        } else if (key == QLatin1String("devices")) {
            deviceCount = value.toInt(&ok);
            ok = ok && deviceCount >= 0 && deviceCount <= 16;
        } else if (key == QLatin1String("open")) {
            ok = value == QLatin1String("ok") || value == QLatin1String("fail");
            openFails = value == QLatin1String("fail");
        } else if (key == QLatin1String("unplug-after")) {
            unplugAfterMs = value.toInt(&ok);
            ok = ok && unplugAfterMs >= 0;
        } else if (key == QLatin1String("replug-after")) {
            replugAfterMs = value.toInt(&ok);
            ok = ok && replugAfterMs >= 0;
        } else if (key == QLatin1String("stats") && !setting.contains(QLatin1Char('='))) {
            stats = true;
        } else {
            *error = QStringLiteral("--sim %1: unknown setting (rate=N, answers=on|off, devices=N, "
                                    "open=ok|fail, unplug-after=MS, replug-after=MS, stats)").arg(setting);
            return false;
        }
        if (!ok) {
            *error = QStringLiteral("--sim %1: bad value").arg(setting);
            return false;
        }
    }
    return true;
}

void Simulation::start(const Configuration &configuration)
{
    commands = configuration.commands;
    telemetry = configuration.telemetry;
    for (int i = 0; i < deviceCount; ++i) {
        units.push_back(makeUnit(QStringLiteral("/sim/hidraw%1").arg(i)));
        simPlatform.plug(units.back()->device);
    }
    if (unplugAfterMs >= 0 && !units.empty()) {
        QTimer::singleShot(unplugAfterMs, this, &Simulation::unplugFirst);
    }
}

std::unique_ptr<Simulation::Unit> Simulation::makeUnit(const QString &path)
{
    auto unit = std::make_unique<Unit>();
    unit->device = std::make_shared<SimDevice>(QStringLiteral("Tolvex demo"), path);
    unit->device->setOpenFails(openFails);
    unit->answerer = std::make_unique<CommandAnswerer>(commands);
    unit->answerer->setAnswering(answering);
    unit->answerer->attachTo(*unit->device);
    unit->generator = std::make_unique<TelemetryGenerator>(unit->device, telemetry);
    unit->generator->setRate(telemetry.id == 0 ? rate : 0);
    return unit;
}

void Simulation::unplugFirst()
{
    // The device that comes back is a new one under the old path, as after a re-enumeration:
    // what was open on the old one stays failed.
    auto replace = [this] {
        std::unique_ptr<Unit> old = std::move(units.front());
        units.front() = makeUnit(old->device->path());
        old->generator->stop();
        retired.push_back(std::move(old));
        simPlatform.plug(units.front()->device, 0);
    };
    if (replugAfterMs == 0) {
        // Gone and back before the system says anything: only the failed read tells.
        simPlatform.setNoticesHeard(false);
        simPlatform.unplug(units.front()->device);
        replace();
        simPlatform.setNoticesHeard(true);
        return;
    }
    simPlatform.unplug(units.front()->device);
    if (replugAfterMs > 0)
        QTimer::singleShot(replugAfterMs, this, replace);
}

void Simulation::stopTelemetry()
{
    for (auto &unit : units)
        unit->generator->stop();
}

int Simulation::unreadReports() const
{
    int count = 0;
    for (const auto &unit : units)
        count += unit->device->pendingReports();
    return count;
}

quint64 Simulation::reportsSent() const
{
    quint64 sent = 0;
    for (const auto &unit : units)
        sent += unit->generator->reportsSent();
    for (const auto &unit : retired)
        sent += unit->generator->reportsSent();
    return sent;
}

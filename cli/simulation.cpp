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
    for (auto &unit : units) {
        unit->generator.reset();
        unit->device->setResponder(nullptr);
        platform.unplug(unit->device);
    }
    if (HidPlatform::instance() == &platform)
        HidPlatform::install(nullptr);
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
        } else if (key == QLatin1String("stats") && !setting.contains(QLatin1Char('='))) {
            stats = true;
        } else {
            *error = QStringLiteral("--sim %1: unknown setting (rate=N, answers=on|off, devices=N, "
                                    "open=ok|fail, unplug-after=MS, stats)").arg(setting);
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
    for (int i = 0; i < deviceCount; ++i) {
        auto unit = std::make_unique<Unit>();
        unit->device = std::make_shared<SimDevice>(QStringLiteral("Tolvex demo"),
                                                   QStringLiteral("/sim/hidraw%1").arg(i));
        unit->device->setOpenFails(openFails);
        unit->answerer = std::make_unique<CommandAnswerer>(configuration.commands);
        unit->answerer->setAnswering(answering);
        unit->answerer->attachTo(*unit->device);
        unit->generator = std::make_unique<TelemetryGenerator>(unit->device, configuration.telemetry);
        unit->generator->setRate(configuration.telemetry.id == 0 ? rate : 0);
        platform.plug(unit->device);
        units.push_back(std::move(unit));
    }
    HidPlatform::install(&platform);
    if (unplugAfterMs >= 0 && !units.empty()) {
        QTimer::singleShot(unplugAfterMs, this, [this] { platform.unplug(units.front()->device); });
    }
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
    return sent;
}

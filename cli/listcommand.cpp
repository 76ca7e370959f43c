// tolvexctl list: the matching devices, one per line.
#include "configuration.h"
#include "devicelink.h"
#include "devicetag.h"
#include "exitstatus.h"
#include "output.h"
#include "subcommand.h"

namespace {

class ListCommand : public Subcommand
{
public:
    QString name() const override { return QStringLiteral("list"); }
    QString summary() const override
    {
        return QStringLiteral("The matching devices, one per line: product, tag and path, separated by tabs.");
    }

    int run(const QCommandLineParser &, const QStringList &arguments, const CommonOptions &common) override
    {
        if (!arguments.isEmpty())
            return usageError(QStringLiteral("unexpected argument '%1'").arg(arguments.first()));
        DeviceLink link(common);
        // Only the simulated device reads the configuration (to know what it would send).
        const int status = link.installPlatform(
            common.simulate ? Configuration::load(common.configPath) : Configuration());
        if (status != ExitStatus::ok)
            return status;
        const DeviceList devices = link.devices();
        for (const auto &device : devices) {
            Output::line(device.first + QLatin1Char('\t') + deviceTag(device.first, device.second)
                         + QLatin1Char('\t') + device.second);
        }
        if (!Output::flush())
            return ExitStatus::failure;
        if (devices.isEmpty()) {
            complain(common.device.isEmpty() ? QStringLiteral("no device found (USB 0483:5750)")
                                             : QStringLiteral("no device %1").arg(common.device));
            return ExitStatus::noDevice;
        }
        return ExitStatus::ok;
    }
};

} // namespace

std::unique_ptr<Subcommand> makeListCommand()
{
    return std::make_unique<ListCommand>();
}

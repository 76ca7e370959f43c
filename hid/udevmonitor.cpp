#include "udevmonitor.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <libudev.h>

#include <cstring>

namespace {

// udevd answers on this socket while it runs; without udevd, its event source stays silent.
bool udevdRunning()
{
    return QFileInfo::exists(QStringLiteral("/run/udev/control"));
}

} // namespace

UdevMonitor::UdevMonitor(QObject *parent) : QObject(parent)
{
    context = udev_new();
    if (!context)
        return;
    monitor = udev_monitor_new_from_netlink(context, udevdRunning() ? "udev" : "kernel");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0
        || udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor)
            udev_monitor_unref(monitor);
        monitor = nullptr;
        return;
    }
    notifier = new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &UdevMonitor::receive);
}

UdevMonitor::~UdevMonitor()
{
    delete notifier;
    if (monitor)
        udev_monitor_unref(monitor);
    if (context)
        udev_unref(context);
}

void UdevMonitor::receive()
{
    // One notice per readable event; several queued events are taken one per activation.
    udev_device *device = udev_monitor_receive_device(monitor);
    if (!device)
        return;
    const char *action = udev_device_get_action(device);
    // "change" too: udevadm trigger after a new rule, for example, may have opened a node
    // that could not be opened before.
    const bool change = action
        && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0
            || std::strcmp(action, "change") == 0);
    udev_device_unref(device);
    if (change)
        emit devicesChanged();
}

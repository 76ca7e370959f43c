#ifndef UDEVMONITOR_H
#define UDEVMONITOR_H

#include <QObject>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Watches the system's hidraw nodes and announces every one added, removed or changed. Uses the events
// udevd sends once it has set up a node (its permissions included, so an open right after a
// plug succeeds); where udevd does not run, the kernel's own events.
class UdevMonitor : public QObject
{
    Q_OBJECT

public:
    explicit UdevMonitor(QObject *parent = nullptr);
    ~UdevMonitor() override;

    // Whether the monitor is receiving events at all.
    bool isActive() const { return monitor != nullptr; }

signals:
    void devicesChanged();

private:
    void receive();

    struct udev *context = nullptr;
    struct udev_monitor *monitor = nullptr;
    QSocketNotifier *notifier = nullptr;
};

#endif // UDEVMONITOR_H

#ifndef HIDRAWPLATFORM_H
#define HIDRAWPLATFORM_H

#include "hidplatform.h"

struct udev;
class UdevMonitor;

// The real platform on Linux: the kernel's hidraw nodes, found through libudev and used
// through their file descriptors. Every attribute a device gives is checked, so a device that
// vanishes while it is being listed or opened is simply not there. Each open device has one
// descriptor for reading and another for writing (the kernel hands every input report to
// every open file of a node), and an eventfd that wakes a waiting read.
//
// Change notices come from a udev monitor on the "hidraw" subsystem, and from a comparison of
// the device list once a second for where the monitor hears nothing (a sandbox with a user
// namespace of its own receives no kernel events).
// Build it after the QApplication: the monitor needs the event loop.
class HidrawPlatform : public HidPlatform
{
    Q_OBJECT

public:
    explicit HidrawPlatform(QObject *parent = nullptr);
    ~HidrawPlatform() override;

    DeviceList enumerate() override;
    // Gives up after openWaitMs: while any write to a hidraw node is held up by its device,
    // the kernel holds every open and close of hidraw nodes until that write ends (seconds).
    // The descriptors of an open that ends later are closed unused.
    std::unique_ptr<HidConnection> open(const QString &path) override;

    static constexpr int openWaitMs = 250;

private:
    struct udev *context = nullptr;
    UdevMonitor *monitor = nullptr;
};

#endif // HIDRAWPLATFORM_H

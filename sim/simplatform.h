#ifndef SIMPLATFORM_H
#define SIMPLATFORM_H

#include "hidplatform.h"
#include "simdevice.h"

#include <QList>

#include <atomic>
#include <memory>
#include <mutex>

// The simulated platform: in-process virtual devices for the tests and the demo.
//
//     SimPlatform sim;
//     DeviceSession session(&sim);             // or MainWindow window(options, &sim)
//     auto device = sim.plug("Tolvex probe");  // raises devicesChanged()
//     device->injectReport(report);            // the exchange thread reads it
//     sim.unplug(device);                      // raises devicesChanged() again
//
// Plugging and unplugging may happen on any thread; devicesChanged() is emitted on the
// calling thread (delivered directly to receivers in the same thread, queued to others).
// Unplugging makes the reads and writes of an open connection fail, as with a real device
// pulled out, until the program closes it.
class SimPlatform : public HidPlatform
{
    Q_OBJECT

public:
    explicit SimPlatform(QObject *parent = nullptr);
    ~SimPlatform() override;

    // Plugs a new device with the given product string. An empty path gives the next free
    // one of the form "/sim/hidrawN". The device is listed at position (at the end if -1).
    std::shared_ptr<SimDevice> plug(const QString &product, const QString &path = QString(),
                                    int position = -1);
    // Plugs a device made earlier (again, after an unplug).
    void plug(const std::shared_ptr<SimDevice> &device, int position = -1);
    void unplug(const std::shared_ptr<SimDevice> &device);
    // The plugged devices in the order enumerate() lists them in (enumerate() leaves out a
    // foreign one, of other vendor and product IDs).
    QList<std::shared_ptr<SimDevice>> devices() const;
    std::shared_ptr<SimDevice> device(const QString &path) const;

    // While off, plugging and unplugging raise no notice, as where the system's device
    // monitor hears nothing; the platform then compares its list once a second instead, as
    // the real one does beside its monitor. On by default. Main thread.
    void setNoticesHeard(bool heard);

    DeviceList enumerate() override;
    std::unique_ptr<HidConnection> open(const QString &path) override;

private:
    mutable std::mutex lock;
    QList<std::shared_ptr<SimDevice>> plugged;
    int nextPathNumber = 0;
    std::atomic<bool> noticesHeard{true};
};

#endif // SIMPLATFORM_H

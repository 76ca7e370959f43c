#include "simplatform.h"

// What the exchange thread holds of an open simulated device; closing it closes the device.
class SimConnection : public HidConnection
{
public:
    explicit SimConnection(std::shared_ptr<SimDevice> device) : device(std::move(device)) {}
    ~SimConnection() override { device->closeConnection(); }

    Result read(unsigned char *buffer, int timeoutMs) override
    {
        return device->read(buffer, timeoutMs);
    }
    Result write(const unsigned char *report, int timeoutMs) override
    {
        return device->write(report, timeoutMs);
    }
    bool canWake() const override { return true; }
    void wake() override { device->wakeReader(); }

private:
    std::shared_ptr<SimDevice> device;
};

SimPlatform::SimPlatform(QObject *parent) : HidPlatform(parent) {}

SimPlatform::~SimPlatform() = default;

std::shared_ptr<SimDevice> SimPlatform::plug(const QString &product, const QString &path,
                                             int position)
{
    QString devicePath = path;
    if (devicePath.isEmpty()) {
        std::lock_guard<std::mutex> guard(lock);
        devicePath = QStringLiteral("/sim/hidraw%1").arg(nextPathNumber++);
    }
    auto device = std::make_shared<SimDevice>(product, devicePath);
    plug(device, position);
    return device;
}

void SimPlatform::plug(const std::shared_ptr<SimDevice> &device, int position)
{
    if (!device)
        return;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (plugged.contains(device))
            return;
        if (position < 0 || position > plugged.size())
            position = plugged.size();
        plugged.insert(position, device);
        device->setPlugged(true);
    }
    if (noticesHeard)
        emit devicesChanged();
}

void SimPlatform::unplug(const std::shared_ptr<SimDevice> &device)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!plugged.removeOne(device))
            return;
        device->setPlugged(false);
    }
    if (noticesHeard)
        emit devicesChanged();
}

QList<std::shared_ptr<SimDevice>> SimPlatform::devices() const
{
    std::lock_guard<std::mutex> guard(lock);
    return plugged;
}

std::shared_ptr<SimDevice> SimPlatform::device(const QString &path) const
{
    std::lock_guard<std::mutex> guard(lock);
    for (const auto &d : plugged) {
        if (d->path() == path)
            return d;
    }
    return nullptr;
}

void SimPlatform::setNoticesHeard(bool heard)
{
    noticesHeard = heard;
    if (heard)
        stopListComparison();
    else
        startListComparison();
}

DeviceList SimPlatform::enumerate()
{
    DeviceList list;
    std::lock_guard<std::mutex> guard(lock);
    for (const auto &d : plugged) {
        if (d->isOurs())
            list.append(qMakePair(d->product(), d->path()));
    }
    return list;
}

std::unique_ptr<HidConnection> SimPlatform::open(const QString &path)
{
    std::shared_ptr<SimDevice> d = device(path);
    // As on a real system, a path may have been taken by another kind of device meanwhile.
    if (!d || !d->isOurs() || !d->openConnection())
        return nullptr;
    return std::make_unique<SimConnection>(std::move(d));
}

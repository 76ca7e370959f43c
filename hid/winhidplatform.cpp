#include "winhidplatform.h"

#include "winhid.h"

namespace {

class WinHidConnection : public HidConnection
{
public:
    explicit WinHidConnection(std::unique_ptr<winhid::Device> device) : device(std::move(device)) {}

    Result read(unsigned char *buffer, int timeoutMs) override
    {
        return result(device->read(buffer, timeoutMs));
    }

    Result write(const unsigned char *report, int timeoutMs) override
    {
        return result(device->write(report, timeoutMs));
    }

    bool canWake() const override { return true; }
    void wake() override { device->wake(); }

private:
    static Result result(winhid::Result r)
    {
        switch (r) {
        case winhid::Result::Done:
            return Result::Done;
        case winhid::Result::TimedOut:
            return Result::TimedOut;
        case winhid::Result::Failed:
            break;
        }
        return Result::Failed;
    }

    std::unique_ptr<winhid::Device> device;
};

std::wstring idFilter()
{
    return QString::fromLatin1(deviceIdFilter).toStdWString();
}

} // namespace

WinHidPlatform::WinHidPlatform(QObject *parent) : HidPlatform(parent)
{
    notifier = std::make_unique<winhid::ChangeNotifier>([this] { emit devicesChanged(); });
    // Not every system announces every arrival (Wine's HID bus may not announce a device that
    // comes back): the list comparison catches what no notice told.
    startListComparison();
}

WinHidPlatform::~WinHidPlatform() = default;

DeviceList WinHidPlatform::enumerate()
{
    DeviceList devices;
    for (const winhid::Found &found : winhid::findDevices(idFilter(), deviceVendorId, deviceProductId))
        devices.append(qMakePair(QString::fromStdWString(found.product), QString::fromStdWString(found.path)));
    return devices;
}

std::unique_ptr<HidConnection> WinHidPlatform::open(const QString &path)
{
    std::unique_ptr<winhid::Device> device = winhid::Device::open(path.toStdWString(), deviceVendorId, deviceProductId);
    if (!device)
        return nullptr;
    return std::make_unique<WinHidConnection>(std::move(device));
}

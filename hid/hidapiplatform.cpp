#include "hidapiplatform.h"

#if defined(Q_OS_LINUX)
#include "udevmonitor.h"
#elif !defined(Q_OS_WIN)
#include <QTimer>
#endif

#include <hidapi.h>

#include <algorithm>
#include <cstring>

namespace {

// A device opened through hidapi. hidapi opens for shared reading and writing everywhere.
class HidapiConnection : public HidConnection
{
public:
    explicit HidapiConnection(hid_device *device) : device(device) {}
    ~HidapiConnection() override { hid_close(device); }

    Result read(unsigned char *buffer, int timeoutMs) override
    {
        unsigned char report[reportSize];
        const int n = hid_read_timeout(device, report, reportSize, timeoutMs);
        if (n < 0)
            return Result::Failed;
        if (n == 0)
            return Result::TimedOut;
        // hidapi never gives more than it was asked for; a short report is padded.
        const int length = std::min(n, reportSize);
        std::memcpy(buffer, report, size_t(length));
        std::memset(buffer + length, 0, size_t(reportSize - length));
        return Result::Done;
    }

    // hidapi's write has no time-out of its own: it returns when the driver has taken the
    // report (on Windows after at most hidapi's own wait), so a write here never times out; it
    // either completes or fails.
    Result write(const unsigned char *report, int) override
    {
        return hid_write(device, report, reportSize) < 0 ? Result::Failed : Result::Done;
    }

private:
    hid_device *device;
};

QString fromWide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

} // namespace

HidapiPlatform::HidapiPlatform(QObject *parent) : HidPlatform(parent)
{
    // hidapi fails to start where the system lacks a call it needs (under Wine, for one); the
    // program then sees no device rather than calling into a library that is not ready.
    ready = hid_init() == 0;
#if defined(Q_OS_LINUX)
    monitor = new UdevMonitor(this);
    connect(monitor, &UdevMonitor::devicesChanged, this, &HidPlatform::devicesChanged);
#elif !defined(Q_OS_WIN)
    // No change notices here (macOS): look at the device list once a second instead.
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] {
        const DeviceList now = enumerate();
        if (now != lastListed) {
            lastListed = now;
            emit devicesChanged();
        }
    });
    lastListed = enumerate();
    poll->start(1000);
#endif
}

HidapiPlatform::~HidapiPlatform()
{
    if (ready)
        hid_exit();
}

DeviceList HidapiPlatform::enumerate()
{
    DeviceList devices;
    if (!ready)
        return devices;
    hid_device_info *all = hid_enumerate(deviceVendorId, deviceProductId);
    for (hid_device_info *d = all; d; d = d->next) {
        if (!d->path || !*d->path)
            continue;
        // A device that does not tell its product string is still listed, under "dev", so
        // that the operator sees it and learns whether it opens.
        const QString product = d->product_string ? fromWide(d->product_string) : QStringLiteral("dev");
        devices.append(qMakePair(product, QString::fromLocal8Bit(d->path)));
    }
    hid_free_enumeration(all);
    return devices;
}

std::unique_ptr<HidConnection> HidapiPlatform::open(const QString &path)
{
    if (!ready || path.isEmpty())
        return nullptr;
    hid_device *device = hid_open_path(path.toLocal8Bit().constData());
    if (!device)
        return nullptr;
#if defined(HID_API_VERSION) && HID_API_VERSION >= HID_API_MAKE_VERSION(0, 13, 0)
    // The path may have passed to another device since it was listed: only ours is used.
    // Where hidapi cannot tell what it opened, the path is all there is to go by.
    if (const hid_device_info *info = hid_get_device_info(device)) {
        if (info->vendor_id != deviceVendorId || info->product_id != deviceProductId) {
            hid_close(device);
            return nullptr;
        }
    }
#endif
    return std::make_unique<HidapiConnection>(device);
}

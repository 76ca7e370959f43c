#include "hidrawplatform.h"

#include "udevmonitor.h"

#include <libudev.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// Closing a hidraw descriptor waits in the kernel while a write to any hidraw node is held
// up, so descriptors are closed on a short-lived thread of their own.
void closeLater(int a, int b = -1, int c = -1)
{
    auto close = [a, b, c] {
        for (int fd : {a, b, c}) {
            if (fd >= 0)
                ::close(fd);
        }
    };
    try {
        std::thread(close).detach();
    } catch (const std::system_error &) {
        close(); // no thread to be had: close here, waiting if need be
    }
}

class HidrawConnection : public HidConnection
{
public:
    HidrawConnection(int readFd, int writeFd, int wakeFd)
        : readFd(readFd), writeFd(writeFd), wakeFd(wakeFd)
    {
    }
    ~HidrawConnection() override { closeLater(readFd, writeFd, wakeFd); }

    Result read(unsigned char *buffer, int timeoutMs) override
    {
        pollfd waits[2] = {{readFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(waits, 2, timeoutMs < 0 ? -1 : timeoutMs);
        if (ready < 0)
            return errno == EINTR ? Result::TimedOut : Result::Failed;
        if (ready == 0)
            return Result::TimedOut;
        if (waits[1].revents & POLLIN) {
            eventfd_t count;
            eventfd_read(wakeFd, &count);
        }
        if (waits[0].revents & POLLIN) {
            unsigned char report[reportSize];
            ssize_t n;
            do {
                n = ::read(readFd, report, sizeof report);
            } while (n < 0 && errno == EINTR);
            if (n < 0 && errno == EAGAIN)
                return Result::TimedOut;
            if (n <= 0)
                return Result::Failed; // EIO or ENODEV: the device is gone
            std::memcpy(buffer, report, size_t(n));
            std::memset(buffer + n, 0, size_t(reportSize - n));
            return Result::Done;
        }
        // The node hung up (the device left the system) or is no longer valid.
        if (waits[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return Result::Failed;
        return Result::TimedOut;
    }

    // A hidraw write waits until the device has taken the report or the kernel gives up (about
    // 5 s for a device whose endpoint does not take it); it cannot be given up sooner.
    Result write(const unsigned char *report, int) override
    {
        ssize_t n;
        do {
            n = ::write(writeFd, report, reportSize);
        } while (n < 0 && errno == EINTR);
        return n < 0 ? Result::Failed : Result::Done;
    }

    bool canWake() const override { return true; }
    void wake() override { eventfd_write(wakeFd, 1); }

private:
    const int readFd;
    const int writeFd;
    const int wakeFd;
};

// The state of one open, shared with the thread that makes it.
struct PendingOpen
{
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    int readFd = -1;
    int writeFd = -1;
};

QString text(const char *value)
{
    return value ? QString::fromUtf8(value) : QString();
}

bool parseHidId(const char *value, unsigned *vendor, unsigned *product)
{
    unsigned bus = 0;
    return value && std::sscanf(value, "%x:%x:%x", &bus, vendor, product) == 3;
}

bool parseHex(const char *value, unsigned *number)
{
    return value && std::sscanf(value, "%x", number) == 1;
}

// Whether the open node is a USB HID device with our vendor and product ID.
bool isOurDevice(int fd)
{
    hidraw_devinfo info{};
    if (::ioctl(fd, HIDIOCGRAWINFO, &info) < 0)
        return false;
    return info.bustype == BUS_USB && quint16(info.vendor) == deviceVendorId
           && quint16(info.product) == deviceProductId;
}

} // namespace

HidrawPlatform::HidrawPlatform(QObject *parent) : HidPlatform(parent), context(udev_new())
{
    monitor = new UdevMonitor(this);
    connect(monitor, &UdevMonitor::devicesChanged, this, &HidPlatform::devicesChanged);
    startListComparison();
}

HidrawPlatform::~HidrawPlatform()
{
    delete monitor;
    if (context)
        udev_unref(context);
}

DeviceList HidrawPlatform::enumerate()
{
    DeviceList devices;
    if (!context)
        return devices;
    udev_enumerate *scan = udev_enumerate_new(context);
    if (!scan)
        return devices;
    if (udev_enumerate_add_match_subsystem(scan, "hidraw") < 0 || udev_enumerate_scan_devices(scan) < 0) {
        udev_enumerate_unref(scan);
        return devices;
    }
    udev_list_entry *entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan))
    {
        const char *syspath = udev_list_entry_get_name(entry);
        // Any of these is missing when the device left the system while it was being listed.
        udev_device *node = syspath ? udev_device_new_from_syspath(context, syspath) : nullptr;
        if (!node)
            continue;
        const char *path = udev_device_get_devnode(node);
        udev_device *hid = udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr);
        udev_device *usb = udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_device");
        unsigned vendor = 0;
        unsigned product = 0;
        bool known = hid && parseHidId(udev_device_get_property_value(hid, "HID_ID"), &vendor, &product);
        if (!known && usb) {
            known = parseHex(udev_device_get_sysattr_value(usb, "idVendor"), &vendor)
                && parseHex(udev_device_get_sysattr_value(usb, "idProduct"), &product);
        }
        if (path && *path && known && vendor == deviceVendorId && product == deviceProductId) {
            // The USB device's own product string; a device without one in USB terms (a
            // virtual one, for example) goes by the name the HID layer gives it.
            QString name = usb ? text(udev_device_get_sysattr_value(usb, "product")) : QString();
            if (name.isNull() && hid)
                name = text(udev_device_get_property_value(hid, "HID_NAME"));
            if (name.isNull())
                name = QStringLiteral("dev");
            devices.append(qMakePair(name, QString::fromLocal8Bit(path)));
        }
        udev_device_unref(node);
    }
    udev_enumerate_unref(scan);
    return devices;
}

std::unique_ptr<HidConnection> HidrawPlatform::open(const QString &path)
{
    if (path.isEmpty())
        return nullptr;
    const QByteArray file = path.toLocal8Bit();
    auto pending = std::make_shared<PendingOpen>();
    auto openBoth = [pending, file] {
        int readFd = ::open(file.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        // The node's number may have passed to another device since it was listed (a keyboard,
        // a security key): whatever the path, only our device is ever used.
        if (readFd >= 0 && !isOurDevice(readFd)) {
            ::close(readFd);
            readFd = -1;
        }
        int writeFd = readFd < 0 ? -1 : ::open(file.constData(), O_WRONLY | O_CLOEXEC);
        if (writeFd < 0 && readFd >= 0) {
            ::close(readFd);
            readFd = -1;
        }
        std::lock_guard<std::mutex> guard(pending->lock);
        if (pending->abandoned) {
            if (readFd >= 0) {
                ::close(readFd);
                ::close(writeFd);
            }
        } else {
            pending->readFd = readFd;
            pending->writeFd = writeFd;
        }
        pending->finished = true;
        pending->done.notify_all();
    };
    try {
        std::thread(openBoth).detach();
    } catch (const std::system_error &) {
        return nullptr; // no thread to be had: as good as a failed open, tried again later
    }

    int readFd;
    int writeFd;
    {
        std::unique_lock<std::mutex> guard(pending->lock);
        if (!pending->done.wait_for(guard, std::chrono::milliseconds(openWaitMs),
                                    [&] { return pending->finished; })) {
            pending->abandoned = true;
            return nullptr;
        }
        readFd = pending->readFd;
        writeFd = pending->writeFd;
    }
    if (readFd < 0)
        return nullptr;
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        closeLater(readFd, writeFd);
        return nullptr;
    }
    return std::make_unique<HidrawConnection>(readFd, writeFd, wakeFd);
}

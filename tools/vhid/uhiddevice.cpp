#include "uhiddevice.h"

#include "devicelist.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <unistd.h>

namespace {

// Vendor usage page 0xFF00; input report 1 and output report 2, 63 one-byte fields each.
const unsigned char reportDescriptor[] = {
    0x06, 0x00, 0xff, // Usage Page (Vendor Defined 0xFF00)
    0x09, 0x01,       // Usage (0x01)
    0xa1, 0x01,       // Collection (Application)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xff, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x3f,       //   Report Count (63)
    0x85, 0x01,       //   Report ID (1)
    0x09, 0x02,       //   Usage (0x02)
    0x81, 0x02,       //   Input (Data, Variable, Absolute)
    0x85, 0x02,       //   Report ID (2)
    0x09, 0x03,       //   Usage (0x03)
    0x91, 0x02,       //   Output (Data, Variable, Absolute)
    0xc0,             // End Collection
};

constexpr unsigned char inputReportNumber = 1;
constexpr unsigned char outputReportNumber = 2;

void copyText(__u8 *target, size_t size, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::memcpy(target, bytes.constData(), std::min(size - 1, size_t(bytes.size())));
}

} // namespace

UhidDevice::UhidDevice() = default;

UhidDevice::~UhidDevice()
{
    unplug();
    if (uhidFd >= 0)
        ::close(uhidFd);
}

bool UhidDevice::open(QString *error)
{
    uhidFd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (uhidFd < 0) {
        *error = QStringLiteral("cannot open /dev/uhid: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    return true;
}

bool UhidDevice::writeEvent(const void *event, size_t size)
{
    const ssize_t written = ::write(uhidFd, event, size);
    return written == static_cast<ssize_t>(size);
}

bool UhidDevice::plug(const QString &product, const QString &serialText, QString *error)
{
    if (plugged)
        return true;
    uhid_event event{};
    event.type = UHID_CREATE2;
    uhid_create2_req &create = event.u.create2;
    copyText(create.name, sizeof create.name, product);
    copyText(create.phys, sizeof create.phys, QStringLiteral("vhid"));
    copyText(create.uniq, sizeof create.uniq, serialText);
    create.rd_size = sizeof reportDescriptor;
    std::memcpy(create.rd_data, reportDescriptor, sizeof reportDescriptor);
    create.bus = BUS_USB;
    create.vendor = vendor;
    create.product = deviceProductId;
    create.version = 0x0100;
    if (!writeEvent(&event, sizeof event)) {
        *error = QStringLiteral("UHID_CREATE2 failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    serial = serialText;
    plugged = true;
    return true;
}

void UhidDevice::unplug()
{
    if (!plugged)
        return;
    uhid_event event{};
    event.type = UHID_DESTROY;
    writeEvent(&event, sizeof event);
    plugged = false;
}

bool UhidDevice::sendInput(const QByteArray &report)
{
    if (!plugged)
        return false;
    uhid_event event{};
    event.type = UHID_INPUT2;
    event.u.input2.size = static_cast<__u16>(std::min<int>(report.size(), UHID_DATA_MAX));
    std::memcpy(event.u.input2.data, report.constData(), event.u.input2.size);
    return writeEvent(&event, sizeof event);
}

QString UhidDevice::findNode() const
{
    if (!plugged)
        return {};
    const QByteArray wanted = "HID_UNIQ=" + serial.toUtf8();
    const QDir classDir(QStringLiteral("/sys/class/hidraw"));
    for (const QString &name : classDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        QFile uevent(classDir.filePath(name + QStringLiteral("/device/uevent")));
        if (!uevent.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : uevent.readAll().split('\n')) {
            if (line == wanted)
                return QStringLiteral("/dev/") + name;
        }
    }
    return {};
}

UhidDevice::Event UhidDevice::readEvent()
{
    Event result;
    uhid_event event{};
    const ssize_t got = ::read(uhidFd, &event, sizeof event);
    if (got < 0) {
        if (errno != EAGAIN && errno != EINTR)
            result.kind = Event::Failed;
        return result;
    }
    switch (event.type) {
    case UHID_START:
        result.kind = Event::Started;
        break;
    case UHID_STOP:
        result.kind = Event::Stopped;
        break;
    case UHID_OPEN:
        result.kind = Event::Opened;
        break;
    case UHID_CLOSE:
        result.kind = Event::Closed;
        break;
    case UHID_OUTPUT: {
        const uhid_output_req &output = event.u.output;
        result.kind = Event::Output;
        result.report = QByteArray(reinterpret_cast<const char *>(output.data),
                                   std::min<int>(output.size, UHID_DATA_MAX));
        break;
    }
    case UHID_GET_REPORT: {
        const uhid_get_report_req request = event.u.get_report;
        uhid_event reply{};
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = request.id;
        if (request.rtype == UHID_INPUT_REPORT && request.rnum == inputReportNumber) {
            QByteArray report = lastInput;
            if (report.isEmpty()) {
                report = QByteArray(reportSize, '\0');
                report[0] = char(inputReportNumber);
            }
            reply.u.get_report_reply.size = static_cast<__u16>(report.size());
            std::memcpy(reply.u.get_report_reply.data, report.constData(), report.size());
        } else {
            reply.u.get_report_reply.err = EIO; // the device has no such report
        }
        writeEvent(&reply, sizeof reply);
        break;
    }
    case UHID_SET_REPORT: {
        const uhid_set_report_req &request = event.u.set_report;
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = request.id;
        if (request.rtype == UHID_OUTPUT_REPORT && request.rnum == outputReportNumber) {
            // An output report sent as a control transfer: handled like one sent on its own.
            result.kind = Event::Output;
            result.report = QByteArray(reinterpret_cast<const char *>(request.data),
                                       std::min<int>(request.size, UHID_DATA_MAX));
        } else {
            reply.u.set_report_reply.err = EIO;
        }
        writeEvent(&reply, sizeof reply);
        break;
    }
    default:
        break;
    }
    return result;
}

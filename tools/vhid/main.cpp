// vhid: a virtual Tolvex device on Linux's /dev/uhid. It sends telemetry for a configuration,
// answers its commands, prints every output report it receives, and is unplugged and plugged
// again on request. Lines it prints on standard output:
//   plugged <node>     the device is in the system, its hidraw node is <node>
//   unplugged          the device has left the system
//   opened / closed    a program opened or closed the device
//   output <hex>       an output report arrived (64 bytes, report ID first)
//   answer <hex>       the answer report it sent
//   sent <n>           (on request) the number of telemetry reports sent so far
// Lines it reads on standard input: plug [serial], unplug, toggle, rate <reports per second>, mute,
// unmute, send <hex> (raw input report bytes, sent as they are), sent, quit. SIGUSR1 toggles the plug as well;
// SIGINT, SIGTERM and SIGHUP unplug and quit.

#include "configlocation.h"
#include "devicelist.h"
#include "reportmaker.h"
#include "uhiddevice.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto nodeWait = std::chrono::seconds(3);

void say(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void complain(const QString &text)
{
    std::fprintf(stderr, "vhid: %s\n", qPrintable(text));
}

class VirtualDevice
{
public:
    VirtualDevice(ReportMaker maker, QString product, QString serial)
        : maker(std::move(maker)), product(std::move(product)), serial(std::move(serial))
    {
    }

    bool start(bool plugNow, double rate, bool muted, QString *error);
    void setVendorId(unsigned short id) { device.setVendorId(id); }
    int run(int signalFd);

private:
    void plug();
    void unplug();
    void handleDeviceEvent();
    void handleCommand(const QByteArray &line);
    void setRate(double reportsPerSecond);
    void sendDueTelemetry(Clock::time_point now);
    int msUntilNextEvent(Clock::time_point now) const;

    UhidDevice device;
    ReportMaker maker;
    QString product;
    QString serial;
    double rate = 0;
    bool muted = false;
    bool started = false;     // the kernel has started the device: input is accepted
    bool nodeAnnounced = false;
    bool quitting = false;
    Clock::time_point startTime = Clock::now();
    Clock::time_point plugTime;
    Clock::time_point rateOrigin; // telemetry is due at rateOrigin + k / rate
    quint64 sentSinceOrigin = 0;
    quint64 sample = 0;
    QByteArray pendingInput;
};

bool VirtualDevice::start(bool plugNow, double reportsPerSecond, bool mute, QString *error)
{
    if (!device.open(error))
        return false;
    muted = mute;
    setRate(reportsPerSecond);
    if (plugNow)
        plug();
    return true;
}

void VirtualDevice::plug()
{
    if (device.isPlugged())
        return;
    QString error;
    if (!device.plug(product, serial, &error)) {
        complain(error);
        return;
    }
    started = false;
    nodeAnnounced = false;
    plugTime = Clock::now();
}

void VirtualDevice::unplug()
{
    if (!device.isPlugged())
        return;
    device.unplug();
    started = false;
    say("unplugged");
}

void VirtualDevice::setRate(double reportsPerSecond)
{
    rate = reportsPerSecond > 0 ? reportsPerSecond : 0;
    rateOrigin = Clock::now();
    sentSinceOrigin = 0;
}

void VirtualDevice::sendDueTelemetry(Clock::time_point now)
{
    if (rate <= 0 || !started || !maker.hasTelemetry())
        return;
    const double elapsed = std::chrono::duration<double>(now - rateOrigin).count();
    auto due = static_cast<quint64>(elapsed * rate) + 1;
    if (due > sentSinceOrigin + static_cast<quint64>(rate) + 1) {
        // Far behind (the machine stalled): start afresh rather than send a burst.
        setRate(rate);
        due = 1;
    }
    while (sentSinceOrigin < due) {
        const double seconds = std::chrono::duration<double>(now - startTime).count();
        const QByteArray report = maker.telemetry(sample, seconds);
        device.setLastInput(report);
        if (!device.sendInput(report))
            break;
        ++sample;
        ++sentSinceOrigin;
    }
}

int VirtualDevice::msUntilNextEvent(Clock::time_point now) const
{
    int wait = -1;
    if (device.isPlugged() && !nodeAnnounced)
        wait = 10; // looking for the node in sysfs
    if (rate > 0 && started && maker.hasTelemetry()) {
        const auto next = rateOrigin
                          + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(sentSinceOrigin / rate));
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
        const int telemetryWait = ms < 0 ? 0 : static_cast<int>(std::min<long long>(ms, 1000));
        wait = wait < 0 ? telemetryWait : std::min(wait, telemetryWait);
    }
    return wait;
}

void VirtualDevice::handleDeviceEvent()
{
    const UhidDevice::Event event = device.readEvent();
    switch (event.kind) {
    case UhidDevice::Event::Started:
        started = true;
        setRate(rate);
        break;
    case UhidDevice::Event::Stopped:
        started = false;
        break;
    case UhidDevice::Event::Opened:
        say("opened");
        break;
    case UhidDevice::Event::Closed:
        say("closed");
        break;
    case UhidDevice::Event::Output: {
        say("output " + event.report.toHex());
        if (muted)
            break;
        QByteArray request = event.report;
        if (request.size() < reportSize)
            request.append(QByteArray(reportSize - request.size(), '\0'));
        const QByteArray answer = maker.answer(request);
        if (!answer.isEmpty() && device.sendInput(answer))
            say("answer " + answer.toHex());
        break;
    }
    case UhidDevice::Event::Failed:
        complain(QStringLiteral("reading /dev/uhid failed"));
        quitting = true;
        break;
    case UhidDevice::Event::None:
        break;
    }
}

void VirtualDevice::handleCommand(const QByteArray &line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    const QByteArray command = words.value(0);
    if (command.isEmpty())
        return;
    if (command == "plug") {
        // "plug SERIAL": another unit of the same product comes in, told apart by its serial
        // (a system that keeps what it knew of a unit, as Wine's HID bus does, sees a new one).
        if (words.size() > 1 && !words.at(1).isEmpty() && !device.isPlugged())
            serial = QString::fromUtf8(words.at(1));
        plug();
    } else if (command == "unplug") {
        unplug();
    } else if (command == "toggle") {
        device.isPlugged() ? unplug() : plug();
    } else if (command == "rate") {
        bool ok = false;
        const double value = words.value(1).toDouble(&ok);
        if (ok && value >= 0)
            setRate(value);
        else
            complain(QStringLiteral("rate wants a number of reports per second"));
    } else if (command == "mute") {
        muted = true;
    } else if (command == "unmute") {
        muted = false;
    } else if (command == "send") {
        // As it is, also shorter or longer than a report: what a faulty device might send.
        const QByteArray report = QByteArray::fromHex(words.value(1));
        if (report.isEmpty())
            complain(QStringLiteral("send wants the report's bytes in hexadecimal"));
        else if (!device.sendInput(report))
            complain(QStringLiteral("the device is not plugged in"));
    } else if (command == "sent") {
        say("sent " + QByteArray::number(sample));
    } else if (command == "quit") {
        quitting = true;
    } else {
        complain(QStringLiteral("unknown command: %1").arg(QString::fromUtf8(command)));
    }
}

int VirtualDevice::run(int signalFd)
{
    bool stdinOpen = true;
    while (!quitting) {
        const auto now = Clock::now();
        sendDueTelemetry(now);
        if (device.isPlugged() && !nodeAnnounced) {
            const QString node = device.findNode();
            if (!node.isEmpty() || now - plugTime > nodeWait) {
                if (node.isEmpty())
                    complain(QStringLiteral("no hidraw node appeared for the device"));
                say("plugged " + (node.isEmpty() ? QByteArray("?") : node.toUtf8()));
                nodeAnnounced = true;
            }
        }

        pollfd fds[3] = {{device.fd(), POLLIN, 0}, {signalFd, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 3, msUntilNextEvent(Clock::now()));
        if (ready < 0 && errno != EINTR) {
            complain(QStringLiteral("poll failed"));
            return 1;
        }
        if (fds[0].revents & POLLIN)
            handleDeviceEvent();
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signalFd, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo == SIGUSR1)
                    device.isPlugged() ? unplug() : plug();
                else
                    quitting = true;
            }
        }
        if (fds[2].revents & (POLLIN | POLLHUP)) {
            char buffer[4096];
            const ssize_t got = ::read(0, buffer, sizeof buffer);
            if (got <= 0) {
                stdinOpen = false; // keep running: signals still steer the device
            } else {
                pendingInput.append(buffer, static_cast<int>(got));
                int end;
                while ((end = pendingInput.indexOf('\n')) >= 0) {
                    handleCommand(pendingInput.left(end));
                    pendingInput.remove(0, end + 1);
                }
            }
        }
    }
    unplug();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vhid"));

    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("A virtual Tolvex device on /dev/uhid: telemetry, command answers, hot-plug."));
    options.addHelpOption();
    const QCommandLineOption configOption(
        QStringLiteral("config"), QStringLiteral("Configuration file (the program's JSON)."),
        QStringLiteral("file"), configPathBesideExecutable());
    const QCommandLineOption productOption(QStringLiteral("product"), QStringLiteral("Product string."),
                                           QStringLiteral("text"), QStringLiteral("Tolvex virtual device"));
    const QCommandLineOption serialOption(
        QStringLiteral("serial"), QStringLiteral("Serial text that tells this device apart in sysfs."),
        QStringLiteral("text"), QStringLiteral("vhid-%1").arg(::getpid()));
    const QCommandLineOption rateOption(QStringLiteral("rate"),
                                        QStringLiteral("Telemetry reports per second (0: none)."),
                                        QStringLiteral("n"), QStringLiteral("100"));
    const QCommandLineOption patternOption(
        QStringLiteral("pattern"),
        QStringLiteral("Telemetry values: wave (signals to watch) or count (field k of report n is n + k)."),
        QStringLiteral("name"), QStringLiteral("wave"));
    const QCommandLineOption unpluggedOption(QStringLiteral("unplugged"),
                                             QStringLiteral("Start unplugged (plug with a line \"plug\")."));
    const QCommandLineOption muteOption(QStringLiteral("mute"), QStringLiteral("Answer no command."));
    const QCommandLineOption vendorOption(
        QStringLiteral("vendor"),
        QStringLiteral("Vendor ID in hex (default 0483); another one makes a device the program must not use."),
        QStringLiteral("hex"), QStringLiteral("0483"));
    options.addOptions({configOption, productOption, serialOption, rateOption, patternOption,
                        unpluggedOption, muteOption, vendorOption});
    options.process(app);

    bool rateOk = false;
    const double rate = options.value(rateOption).toDouble(&rateOk);
    const QString patternName = options.value(patternOption);
    if (!rateOk || rate < 0 || (patternName != QLatin1String("wave") && patternName != QLatin1String("count"))) {
        complain(QStringLiteral("--rate wants a number of reports per second, --pattern wave or count"));
        return 2;
    }
    bool vendorOk = false;
    const unsigned vendor = options.value(vendorOption).toUInt(&vendorOk, 16);
    if (!vendorOk || vendor > 0xffff) {
        complain(QStringLiteral("--vendor wants a 16-bit hex number"));
        return 2;
    }

    QVector<CommandDescription> descriptions;
    QString error;
    if (!ReportMaker::loadDescriptions(options.value(configOption), descriptions, &error)) {
        complain(error);
        return 2;
    }
    const QString product = options.value(productOption);
    ReportMaker maker(descriptions,
                      patternName == QLatin1String("count") ? ReportMaker::Pattern::Count
                                                            : ReportMaker::Pattern::Wave,
                      product);

    sigset_t handled;
    sigemptyset(&handled);
    for (int signal : {SIGUSR1, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&handled, signal);
    sigprocmask(SIG_BLOCK, &handled, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &handled, SFD_CLOEXEC);

    VirtualDevice device(maker, product, options.value(serialOption));
    device.setVendorId(static_cast<unsigned short>(vendor));
    if (!device.start(!options.isSet(unpluggedOption), rate, options.isSet(muteOption), &error)) {
        complain(error);
        return 1;
    }
    return device.run(signalFd);
}

#include "devicelink.h"

#include "configuration.h"
#include "devicetag.h"
#include "exitstatus.h"
#if defined(Q_OS_LINUX)
#include "hidrawplatform.h"
#elif defined(Q_OS_WIN)
#include "winhidplatform.h"
#else
#include "hidapiplatform.h"
#endif
#include "output.h"
#include "simulation.h"
#include "usbhid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

namespace {

// Presence is checked this often besides the platform's own change notices, which some
// systems (containers, sandboxes) never deliver.
constexpr int presenceCheckMs = 1000;

QString cannotOpenText(const QString &device, const QString &path)
{
#ifdef Q_OS_WIN
    return QStringLiteral("cannot open %1 (%2): another program may hold it").arg(device, path);
#else
    const QFileInfo node(path);
    const QString reason = node.exists() && !(node.isReadable() && node.isWritable())
                               ? QStringLiteral("no permission to read and write it")
                               : QStringLiteral("it does not open, usually for want of permission");
    return QStringLiteral("cannot open %1 (%2): %3. Install the udev rule 70-tolvex-client.rules "
                          "(packaging/70-tolvex-client.rules; make install puts it in "
                          "/etc/udev/rules.d) and plug the device in again")
        .arg(device, path, reason);
#endif
}

} // namespace

DeviceLink::DeviceLink(const CommonOptions &common, QObject *parent) : QObject(parent), common(common) {}

DeviceLink::~DeviceLink()
{
    stop();
    delete usb;
    delete sim;
    if (systemPlatform && HidPlatform::instance() == systemPlatform.get())
        HidPlatform::install(nullptr);
}

int DeviceLink::installPlatform(const Configuration &configuration)
{
    if (common.simulate) {
        sim = new Simulation;
        QString error;
        if (!sim->configure(common.simSettings, &error)) {
            complain(error);
            return ExitStatus::usage;
        }
        sim->start(configuration);
    } else {
#if defined(Q_OS_LINUX)
        systemPlatform = std::make_unique<HidrawPlatform>();
#elif defined(Q_OS_WIN)
        systemPlatform = std::make_unique<WinHidPlatform>();
#else
        systemPlatform = std::make_unique<HidapiPlatform>();
#endif
        HidPlatform::install(systemPlatform.get());
    }
    return ExitStatus::ok;
}

int DeviceLink::start(const Configuration &configuration)
{
    const int status = installPlatform(configuration);
    return status == ExitStatus::ok ? open() : status;
}

DeviceList DeviceLink::devices() const
{
    DeviceList all;
    usbHID::findDevices(all);
    if (common.device.isEmpty())
        return all;
    const int index = indexOfDevice(all, common.device);
    return index < 0 ? DeviceList() : DeviceList{all.at(index)};
}

QString DeviceLink::deviceText() const
{
    return chosenProduct + QStringLiteral(" [") + deviceTag(chosenProduct, chosenPath) + QLatin1Char(']');
}

int DeviceLink::open()
{
    const DeviceList candidates = devices();
    if (candidates.isEmpty()) {
        DeviceList all;
        usbHID::findDevices(all);
        if (all.isEmpty() || common.device.isEmpty())
            complain(QStringLiteral("no device found (USB 0483:5750)"));
        else
            complain(QStringLiteral("no device %1 among the %2 found (see tolvexctl list)")
                         .arg(common.device)
                         .arg(all.size()));
        return ExitStatus::noDevice;
    }
    chosenProduct = candidates.first().first;
    chosenPath = candidates.first().second;

    usb = new usbHID;
    // Each report crosses to the main thread as bytes of its own, through a queue that the main
    // thread empties and so ends up the only owner of every report: the exchange thread reads
    // into its buffer again once no one else holds it, and shared bytes would be handed back
    // through reference counts inside QtCore, where the thread checker cannot see them.
    // Copying and queueing is all that runs on the exchange thread (with its handle lock held).
    connect(usb, &usbHID::newData, this, &DeviceLink::takeReport, Qt::DirectConnection);
    connect(this, &DeviceLink::reportsWaiting, this, &DeviceLink::passReports, Qt::QueuedConnection);
    if (!usb->setDevice(chosenPath)) {
        complain(cannotOpenText(deviceText(), chosenPath));
        return ExitStatus::cannotOpen;
    }
    if (HidPlatform *platform = HidPlatform::instance())
        connect(platform, &HidPlatform::devicesChanged, this, &DeviceLink::checkStillThere, Qt::QueuedConnection);
    presence = new QTimer(this);
    connect(presence, &QTimer::timeout, this, &DeviceLink::checkStillThere);
    presence->start(presenceCheckMs);
    usb->start();
    return ExitStatus::ok;
}

void DeviceLink::takeReport(const QByteArray &data)
{
    bool wake;
    {
        std::lock_guard<std::mutex> guard(readLock);
        readReports.push_back(QByteArray(data.constData(), data.size()));
        wake = !passPending;
        passPending = true;
    }
    if (wake)
        emit reportsWaiting();
}

void DeviceLink::passReports()
{
    std::deque<QByteArray> reports;
    {
        std::lock_guard<std::mutex> guard(readLock);
        reports.swap(readReports);
        passPending = false;
    }
    for (const QByteArray &each : reports)
        emit report(each);
}

void DeviceLink::checkStillThere()
{
    if (goneSaid || !usb || !usb->isRunning())
        return;
    DeviceList all;
    usbHID::findDevices(all);
    for (const auto &device : qAsConst(all)) {
        if (device.second == chosenPath)
            return;
    }
    goneSaid = true;
    emit gone();
}

bool DeviceLink::queueRequest(const QByteArray &request)
{
    return usb && usb->queueRequest(request);
}

void DeviceLink::stop(bool drainSimulated)
{
    if (presence)
        presence->stop();
    if (!usb || !usb->isRunning())
        return;
    if (drainSimulated && sim) {
        sim->stopTelemetry();
        QElapsedTimer waited;
        waited.start();
        while (sim->unreadReports() > 0 && waited.elapsed() < 10000)
            QThread::msleep(1);
    }
    usb->stopDataExchange();
    usb->wait();
    // Reports read before the stop are still on their way to report(): deliver them now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    passReports();
}

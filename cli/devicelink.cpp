#include "devicelink.h"

#include "configuration.h"
#include "devicesession.h"
#include "devicetag.h"
#include "exitstatus.h"
#include "hidplatform.h"
#include "output.h"
#include "programplatform.h"
#include "simulation.h"
#include "usbhid.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

DeviceLink::DeviceLink(const CommonOptions &common, QObject *parent)
    : QObject(parent), common(common), platformChoice(std::make_unique<ProgramPlatform>())
{
}

DeviceLink::~DeviceLink()
{
    stop();
    // The session leaves before the platform it talks through.
    delete session;
    delete sim;
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
        platformChoice->useStandIn(sim->platform());
    }
    session = new DeviceSession(platformChoice->platform(), this);
    // The session keeps to the device it opened first: another one plugged in meanwhile is
    // not what the run was asked to follow.
    session->setStayWithPreferred(true);
    // Each report crosses to the main thread as bytes of its own, through a queue that the main
    // thread empties and so ends up the only owner of every report: the exchange thread reads
    // into its buffer again once no one else holds it, and shared bytes would be handed back
    // through reference counts inside QtCore, where the thread checker cannot see them.
    // Copying and queueing is all that runs on the exchange thread (with its handle lock held).
    connect(session, &DeviceSession::reportRead, this, &DeviceLink::takeReport, Qt::DirectConnection);
    connect(this, &DeviceLink::reportsWaiting, this, &DeviceLink::passReports, Qt::QueuedConnection);
    connect(session, &DeviceSession::deviceGone, this, [this] {
        if (!started || away)
            return;
        away = true;
        emit gone();
    });
    connect(session, &DeviceSession::openAttempted, this, [this](bool ok) {
        if (!started || !away || !ok)
            return;
        away = false;
        emit back();
    });
    return ExitStatus::ok;
}

int DeviceLink::start(const Configuration &configuration)
{
    const int status = installPlatform(configuration);
    return status == ExitStatus::ok ? open() : status;
}

DeviceList DeviceLink::devices() const
{
    const DeviceList all = session->listDevices();
    if (common.device.isEmpty())
        return all;
    const int index = indexOfDevice(all, common.device);
    return index < 0 ? DeviceList() : DeviceList{all.at(index)};
}

QString DeviceLink::product() const
{
    return session ? session->product() : QString();
}

QString DeviceLink::path() const
{
    return session ? session->path() : QString();
}

QString DeviceLink::deviceText() const
{
    return DeviceSession::deviceText(product(), path());
}

int DeviceLink::open()
{
    const int status = openDevice();
    if (status == ExitStatus::ok)
        startExchange();
    return status;
}

int DeviceLink::openDevice()
{
    const DeviceList candidates = devices();
    if (candidates.isEmpty()) {
        const DeviceList all = session->listDevices();
        if (all.isEmpty() || common.device.isEmpty())
            complain(QStringLiteral("no device found (USB 0483:5750)"));
        else
            complain(QStringLiteral("no device %1 among the %2 found (see tolvexctl list)")
                         .arg(common.device)
                         .arg(all.size()));
        return ExitStatus::noDevice;
    }
    // Named by its tag, which stays when the device comes back under the same path.
    session->setPreferredDevice(deviceTag(candidates.first().first, candidates.first().second));
    session->refresh();
    if (!session->isOpen()) {
        complain(DeviceSession::cannotOpenText(deviceText(), path()));
        return ExitStatus::cannotOpen;
    }
    started = true;
    return ExitStatus::ok;
}

void DeviceLink::startExchange()
{
    session->start();
}

void DeviceLink::takeReport(const QByteArray &data, qint64 monotonicNs)
{
    bool wake;
    {
        std::lock_guard<std::mutex> guard(readLock);
        readReports.push_back(ReadReport{QByteArray(data.constData(), data.size()), monotonicNs});
        wake = !passPending;
        passPending = true;
    }
    if (wake)
        emit reportsWaiting();
}

void DeviceLink::passReports()
{
    std::deque<ReadReport> reports;
    {
        std::lock_guard<std::mutex> guard(readLock);
        reports.swap(readReports);
        passPending = false;
    }
    for (const ReadReport &each : reports)
        emit report(each.bytes, each.monotonicNs);
}

bool DeviceLink::queueRequest(const QByteArray &request)
{
    return session && session->link()->queueRequest(request);
}

void DeviceLink::withdrawRequest()
{
    if (session)
        session->link()->withdrawRequest();
}

void DeviceLink::stop(bool drainSimulated)
{
    if (!session || !session->link()->isRunning())
        return;
    if (drainSimulated && sim) {
        sim->stopTelemetry();
        QElapsedTimer waited;
        waited.start();
        while (sim->unreadReports() > 0 && waited.elapsed() < 10000)
            QThread::msleep(1);
    }
    session->stop();
    // Reports read before the stop are still on their way to report(): deliver them now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    passReports();
}

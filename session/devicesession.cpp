#include "devicesession.h"

#include "devicetag.h"
#include "hidplatform.h"
#include "reportclock.h"
#include "usbhid.h"

#include <QFileInfo>
#include <QTimer>

DeviceSession::DeviceSession(HidPlatform *platform, QObject *parent)
    : QObject(parent), hidPlatform(platform), usb(new usbHID(this)), reopenTimer(new QTimer(this))
{
    // Installed for those who still find the platform that way, unless the caller has.
    if (HidPlatform::instance() != platform) {
        HidPlatform::install(platform);
        installedHere = true;
    }
    reopenTimer->setInterval(reopenIntervalMs);
    connect(reopenTimer, &QTimer::timeout, this, &DeviceSession::reopenChosen);
    if (platform)
        connect(platform, &HidPlatform::devicesChanged, this, &DeviceSession::refresh);
    // A device that stops reading is as good as unplugged, whether or not a notice follows.
    connect(usb, &usbHID::deviceLost, this, &DeviceSession::linkLost, Qt::QueuedConnection);
    // Stamped here, as it is read, and nowhere else.
    connect(usb, &usbHID::newData, this,
            [this](const QByteArray &report) { emit reportRead(report, monotonicNowNs()); },
            Qt::DirectConnection);
}

DeviceSession::~DeviceSession()
{
    stop();
    delete usb;
    usb = nullptr;
    if (installedHere && HidPlatform::instance() == hidPlatform)
        HidPlatform::install(nullptr);
}

void DeviceSession::setPreferredDevice(const QString &tagOrPath)
{
    preferred = tagOrPath;
}

void DeviceSession::setStayWithPreferred(bool stay)
{
    stayWithPreferred = stay;
}

void DeviceSession::start(QThread::Priority priority)
{
    usb->start(priority);
}

void DeviceSession::stop()
{
    reopenTimer->stop();
    if (!usb || !usb->isRunning())
        return;
    usb->stopDataExchange();
    usb->quit();
    usb->wait();
}

QString DeviceSession::deviceText(const QString &product, const QString &path)
{
    return product + QStringLiteral(" [") + deviceTag(product, path) + QLatin1Char(']');
}

QString DeviceSession::deviceText() const
{
    return deviceText(chosenProduct, chosenPath);
}

bool DeviceSession::isOpen() const
{
    return usb->isOpen();
}

QString DeviceSession::cannotOpenText(const QString &deviceText, const QString &path)
{
#ifdef Q_OS_WIN
    return QStringLiteral("cannot open %1 (%2): another program may hold it").arg(deviceText, path);
#else
    const QFileInfo node(path);
    const QString reason = node.exists() && !(node.isReadable() && node.isWritable())
                               ? QStringLiteral("no permission to read and write it")
                               : QStringLiteral("it does not open, usually for want of permission");
    return QStringLiteral("cannot open %1 (%2): %3. Install the udev rule 70-tolvex-client.rules "
                          "(packaging/70-tolvex-client.rules; make install puts it in "
                          "/etc/udev/rules.d) and plug the device in again")
        .arg(deviceText, path, reason);
#endif
}

void DeviceSession::refresh()
{
    usbHID::findDevices(listed);
    auto indexOf = [this](const QString &product, const QString &path) {
        for (int i = 0; i < listed.size(); ++i) {
            if (listed[i].first == product && listed[i].second == path)
                return i;
        }
        return -1;
    };
    // The open device is no longer listed: it went, whatever is opened next.
    if (up && indexOf(upProduct, upPath) < 0)
        sayGone();

    int chosen = indexOf(chosenProduct, chosenPath);
    if (listed.isEmpty()) {
        if (!stayWithPreferred) {
            chosenProduct.clear();
            chosenPath.clear();
        }
        usb->setDevice(QString());
    } else {
        // The preferred device is taken whenever it is listed, unless the operator has chosen
        // another one since.
        const int preferredIndex = indexOfDevice(listed, preferred);
        if (preferredIndex >= 0 && preferredIndex != chosen && !(chosen >= 0 && chosenByOperator)) {
            chosen = preferredIndex;
            chosenProduct = listed[chosen].first;
            chosenPath = listed[chosen].second;
            openChosen();
        } else if (chosen >= 0) {
            // Still there: an open link is left as it is; one that did not open, or was lost,
            // is tried again.
            if (!usb->isOpen()
                && (!lastOpenAttempt.isValid() || lastOpenAttempt.elapsed() >= reopenOnNoticeMinMs))
                openChosen();
        } else if (stayWithPreferred) {
            // Waiting for the preferred device to come back.
            if (usb->isOpen())
                usb->setDevice(QString());
        } else {
            chosen = 0;
            chosenProduct = listed.first().first;
            chosenPath = listed.first().second;
            openChosen();
        }
    }
    updateReopenTimer();
    emit devicesListed(listed, chosen);
}

void DeviceSession::choose(int index)
{
    if (index < 0 || index >= listed.size())
        return;
    chosenProduct = listed[index].first;
    chosenPath = listed[index].second;
    chosenByOperator = true;
    openChosen();
    updateReopenTimer();
}

void DeviceSession::openChosen()
{
    lastOpenAttempt.start();
    const bool ok = usb->setDevice(chosenPath);
    up = ok;
    upProduct = ok ? chosenProduct : QString();
    upPath = ok ? chosenPath : QString();
    emit openAttempted(ok);
}

void DeviceSession::reopenChosen()
{
    if (chosenPath.isEmpty() || usb->isOpen()) {
        reopenTimer->stop();
        return;
    }
    // A session that waits for its device looks for it in the list: where the system sends no
    // notices, this is how it comes back.
    if (stayWithPreferred) {
        refresh();
        return;
    }
    openChosen();
    updateReopenTimer();
}

void DeviceSession::linkLost()
{
    // A device opened since the failed read has replaced the connection that failed.
    if (usb->isOpen())
        return;
    if (up)
        sayGone();
    refresh();
}

void DeviceSession::sayGone()
{
    up = false;
    const QString product = upProduct;
    const QString path = upPath;
    upProduct.clear();
    upPath.clear();
    emit deviceGone(product, path);
}

void DeviceSession::updateReopenTimer()
{
    bool listedNow = false;
    for (const auto &device : qAsConst(listed))
        listedNow = listedNow || (device.first == chosenProduct && device.second == chosenPath);
    const bool wanted = !chosenPath.isEmpty() && !usb->isOpen() && (listedNow || stayWithPreferred);
    if (!wanted)
        reopenTimer->stop();
    else if (!reopenTimer->isActive())
        reopenTimer->start();
}

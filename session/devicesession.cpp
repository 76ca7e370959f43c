#include "devicesession.h"

#include "devicetag.h"
#include "hidplatform.h"
#include "recordingwriter.h"
#include "reportclock.h"
#include "usbhid.h"

#include <QTimer>

DeviceSession::DeviceSession(HidPlatform *platform, QObject *parent)
    : QObject(parent), hidPlatform(platform), usb(new usbHID(platform, this)), reopenTimer(new QTimer(this)),
      recorder(std::make_unique<RecordingWriter>())
{
    reopenTimer->setInterval(reopenIntervalMs);
    connect(reopenTimer, &QTimer::timeout, this, &DeviceSession::reopenChosen);
    if (platform)
        connect(platform, &HidPlatform::devicesChanged, this, &DeviceSession::refresh);
    // A device that stops reading is as good as unplugged, whether or not a notice follows.
    connect(usb, &usbHID::deviceLost, this, &DeviceSession::linkLost, Qt::QueuedConnection);
    // Stamped here, as it is read, and nowhere else: the recording and the front ends get
    // the same time. Recording costs the exchange thread a few dozen bytes of buffer; the
    // writer's own thread puts them into the file.
    connect(usb, &usbHID::newData, this, [this](const QByteArray &report) {
        const qint64 readNs = monotonicNowNs();
        const qint64 left = reportsToRecord.load(std::memory_order_relaxed);
        if (left != 0 && recorder->record(RecordingFormat::RecordKind::Report, report, readNs) && left > 0)
            reportsToRecord.store(left - 1, std::memory_order_relaxed);
        emit reportRead(report, readNs);
    }, Qt::DirectConnection);
    // A recording that breaks is said at once, not when the front end ends it.
    recorder->setFailureHandler([this] { QMetaObject::invokeMethod(this, "endBrokenRecording", Qt::QueuedConnection); });
}

DeviceSession::~DeviceSession()
{
    stop();
    delete usb;
    usb = nullptr;
    // A recording still under way ends with the session, quietly: its front end is gone.
    recorder->setFailureHandler(nullptr);
    recorder->close();
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

DeviceList DeviceSession::listDevices() const
{
    return hidPlatform ? hidPlatform->listDevices() : DeviceList();
}

void DeviceSession::refresh()
{
    listed = listDevices();
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
    noteRecordedDevice();
    emit devicesListed(listed, chosen);
}

void DeviceSession::choose(int index)
{
    if (index < 0 || index >= listed.size())
        return;
    chosenProduct = listed[index].first;
    chosenPath = listed[index].second;
    chosenByOperator = true;
    // Named in the recording before the new device's first report.
    noteRecordedDevice();
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
    noteRecordedDevice();
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
    noteRecordedDevice();
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

void DeviceSession::noteRecordedDevice()
{
    // A session that stays with its device leaves the time it was away visible; one that
    // follows the chosen device records each change of choice.
    if (stayWithPreferred)
        recorder->noteDevice(upProduct, upPath);
    else
        recorder->noteDevice(chosenProduct, chosenPath);
}

bool DeviceSession::startRecording(const QString &path, const QByteArray &configuration, qint64 maxReports)
{
    stopRecording();
    RecordingFormat::Header header;
    header.product = chosenProduct;
    header.path = chosenPath;
    if (!chosenPath.isEmpty())
        header.tag = deviceTag(chosenProduct, chosenPath);
    header.configuration = configuration;
    recordingBrokeSaid = false;
    reportsToRecord.store(maxReports, std::memory_order_relaxed);
    if (!recorder->open(path, header))
        return false;
    noteRecordedDevice();
    return true;
}

void DeviceSession::stopRecording()
{
    if (!recorder->isOpen())
        return;
    recorder->close();
    if (recorder->failed())
        sayRecordingBroke();
}

bool DeviceSession::isRecording() const
{
    return recorder->isOpen();
}

void DeviceSession::recordRequest(const QByteArray &request)
{
    recorder->record(RecordingFormat::RecordKind::Request, request);
}

void DeviceSession::endBrokenRecording()
{
    // Ended by the front end meanwhile (and said then), or another one begun.
    if (!recorder->isOpen() || !recorder->failed())
        return;
    recorder->close();
    sayRecordingBroke();
}

void DeviceSession::sayRecordingBroke()
{
    if (recordingBrokeSaid)
        return;
    recordingBrokeSaid = true;
    emit recordingBroke(recorder->errorString(), recorder->fileName());
}

#include "usbhid.h"

#include "hidplatform.h"

#include <algorithm>
#include <chrono>
#include <cstring>

usbHID::usbHID(QObject *parent) : QThread(parent) {}

usbHID::~usbHID()
{
    // The owner stops and waits for the thread first; should it not have, ending the loop
    // here is the only way to avoid destroying a running thread.
    if (isRunning()) {
        stopDataExchange();
        wait();
    }
    std::lock_guard<std::mutex> handle(handleLock);
    deviceHandle.reset();
    opened = false;
}

void usbHID::findDevices(DeviceList &devices)
{
    devices.clear();
    if (HidPlatform *platform = HidPlatform::instance())
        devices = platform->enumerate();
}

bool usbHID::setDevice(const QString &path)
{
    bool ok;
    {
        std::lock_guard<std::mutex> handle(handleLock);
        devicePath = path;
        deviceHandle.reset();
        opened = false;
        ok = openDevice();
        linkOpen = ok;
    }
    idleWake.notify_all();
    emit connected(ok);
    return ok;
}

bool usbHID::openDevice()
{
    if (devicePath.isEmpty())
        return false;
    deviceHandle.reset();
    opened = false;
    HidPlatform *platform = HidPlatform::instance();
    if (!platform)
        return false;
    deviceHandle = platform->open(devicePath);
    opened = deviceHandle != nullptr;
    return opened;
}

bool usbHID::queueRequest(const unsigned char *report)
{
    if (!report)
        return false;
    std::lock_guard<std::mutex> request(requestLock);
    if (requestPending)
        return false;
    std::memcpy(requestReport.data(), report, reportSize);
    requestId = requestReport[1];
    retryCount = 0;
    requestPending = true;
    return true;
}

bool usbHID::queueRequest(const QByteArray &report)
{
    std::array<unsigned char, reportSize> fixed{};
    std::memcpy(fixed.data(), report.constData(), std::min<size_t>(report.size(), reportSize));
    return queueRequest(fixed.data());
}

void usbHID::stopDataExchange()
{
    // Once the thread has been started, a stop must hold even if run() has not begun yet
    // (a window closed right after it opened); only a stop before start() is undone by run().
    if (isRunning())
        stopAfterStart = true;
    running = false;
    // Passing through the lock orders the store before a waiting loop's next look at it.
    { std::lock_guard<std::mutex> handle(handleLock); }
    idleWake.notify_all();
}

void usbHID::run()
{
    running = true;
    if (stopAfterStart)
        running = false;
    QByteArray buffer(reportSize, '\0');
    while (running) {
        std::unique_lock<std::mutex> handle(handleLock);
        if (!opened) {
            // Nothing to do until setDevice() opens a device or the loop is stopped; a pending
            // request waits meanwhile without counting as failed.
            idleWake.wait(handle, [this] { return opened || !running; });
            continue;
        }

        // data() gives the buffer a copy of its own if a receiver still holds the last report.
        auto *data = reinterpret_cast<unsigned char *>(buffer.data());
        const HidConnection::Result read = deviceHandle->read(data, readTimeoutMs);
        if (read == HidConnection::Result::Done) {
            {
                std::lock_guard<std::mutex> request(requestLock);
                if (data[1] != 0 && data[1] == requestId)
                    requestPending = false; // the answer has come: no more retries
            }
            emit newData(buffer);
        } else if (read == HidConnection::Result::Failed) {
            // A device that is gone fails its reads at once; give the read its millisecond
            // anyway instead of spinning until the window re-lists.
            idleWake.wait_for(handle, std::chrono::milliseconds(readTimeoutMs));
            if (!opened)
                continue;
        }

        writePendingRequest();
    }
    // Under the lock, so that whoever destroys this object after wait() is seen to come after.
    std::lock_guard<std::mutex> handle(handleLock);
    stopAfterStart = false;
}

void usbHID::writePendingRequest()
{
    std::lock_guard<std::mutex> request(requestLock);
    if (!requestPending)
        return;
    requestReport[ReportLayout::reportIdByte] = ReportLayout::requestReportId;
    switch (deviceHandle->write(requestReport.data(), writeTimeoutMs)) {
    case HidConnection::Result::Done:
    case HidConnection::Result::Failed: // a hard error ends the request as if written
        requestPending = false;
        retryCount = 0;
        break;
    case HidConnection::Result::TimedOut:
        if (++retryCount >= maxWriteAttempts) {
            requestPending = false;
            retryCount = 0;
        }
        break;
    }
}

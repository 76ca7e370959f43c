#include "usbhid.h"

#include "hidplatform.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>

// The pending request and its writing thread. requestLock guards everything here.
struct usbHID::RequestChannel
{
    std::mutex requestLock;
    std::condition_variable changed;
    bool requestPending = false;
    std::array<unsigned char, reportSize> requestReport{};
    unsigned char requestId = 0;
    int retryCount = 0;
    // Bumped by every new request and every request ended from outside (by its answer), so
    // that the outcome of a write that was under way meanwhile is not taken for the new one.
    quint64 requestNumber = 0;
    // Where requests are written: the open device, or none.
    std::shared_ptr<HidConnection> target;
    // The writing thread that should be running; an older one ends after its write.
    int writerGeneration = 0;
    bool writing = false;
    std::thread writer;
};

usbHID::usbHID(QObject *parent) : QThread(parent), requests(std::make_shared<RequestChannel>()) {}

usbHID::usbHID(HidPlatform *platform, QObject *parent)
    : QThread(parent), platform(platform), requests(std::make_shared<RequestChannel>())
{
}

usbHID::~usbHID()
{
    // The owner stops and waits for the thread first; should it not have, ending the loop
    // here is the only way to avoid destroying a running thread.
    if (isRunning()) {
        stopDataExchange();
        wait();
    }
    stopWriter();
    std::lock_guard<std::mutex> handle(handleLock);
    closeDevice();
}

void usbHID::findDevices(DeviceList &devices)
{
    devices.clear();
    if (HidPlatform *platform = HidPlatform::instance())
        devices = platform->listDevices();
}

void usbHID::wakeReader()
{
    std::lock_guard<std::mutex> wake(wakeLock);
    if (wakeTarget)
        wakeTarget->wake();
}

bool usbHID::setDevice(const QString &path)
{
    bool ok;
    ++handleWanted;
    wakeReader();
    {
        std::unique_lock<std::mutex> handle(handleLock);
        --handleWanted;
        devicePath = path;
        closeDevice();
        ok = openDevice();
        linkOpen = ok;
    }
    idleWake.notify_all();
    emit connected(ok);
    return ok;
}

void usbHID::closeDevice()
{
    {
        std::lock_guard<std::mutex> request(requests->requestLock);
        requests->target.reset();
    }
    {
        std::lock_guard<std::mutex> wake(wakeLock);
        wakeTarget.reset();
    }
    // A write still under way keeps its own reference: the device is closed once it ends.
    deviceHandle.reset();
    opened = false;
}

bool usbHID::openDevice()
{
    closeDevice();
    if (devicePath.isEmpty())
        return false;
    HidPlatform *through = platform ? platform : HidPlatform::instance();
    if (!through)
        return false;
    deviceHandle = through->open(devicePath);
    opened = deviceHandle != nullptr;
    if (opened) {
        {
            std::lock_guard<std::mutex> wake(wakeLock);
            wakeTarget = deviceHandle;
        }
        std::lock_guard<std::mutex> request(requests->requestLock);
        requests->target = deviceHandle;
        requests->changed.notify_all();
    }
    return opened;
}

bool usbHID::queueRequest(const unsigned char *report)
{
    if (!report)
        return false;
    RequestChannel &channel = *requests;
    {
        std::lock_guard<std::mutex> request(channel.requestLock);
        if (channel.requestPending)
            return false;
        std::memcpy(channel.requestReport.data(), report, reportSize);
        channel.requestId = channel.requestReport[1];
        channel.retryCount = 0;
        channel.requestPending = true;
        ++channel.requestNumber;
    }
    channel.changed.notify_all();
    return true;
}

bool usbHID::queueRequest(const QByteArray &report)
{
    std::array<unsigned char, reportSize> fixed{};
    std::memcpy(fixed.data(), report.constData(), std::min<size_t>(report.size(), reportSize));
    return queueRequest(fixed.data());
}

void usbHID::withdrawRequest()
{
    RequestChannel &channel = *requests;
    std::lock_guard<std::mutex> request(channel.requestLock);
    if (!channel.requestPending)
        return;
    channel.requestPending = false;
    channel.retryCount = 0;
    // The outcome of a write under way now belongs to no request.
    ++channel.requestNumber;
}

void usbHID::stopDataExchange()
{
    // Once the thread has been started, a stop must hold even if run() has not begun yet
    // (a window closed right after it opened); only a stop before start() is undone by run().
    if (isRunning())
        stopAfterStart = true;
    running = false;
    ++handleWanted;
    wakeReader();
    // Passing through the lock orders the store before a waiting loop's next look at it.
    { std::lock_guard<std::mutex> handle(handleLock); }
    --handleWanted;
    idleWake.notify_all();
}

void usbHID::run()
{
    running = true;
    if (stopAfterStart)
        running = false;
    startWriter();
    QByteArray buffer(reportSize, '\0');
    while (running) {
        std::unique_lock<std::mutex> handle(handleLock);
        if (handleWanted > 0) {
            // setDevice() or a stop is about to take the lock: let it.
            idleWake.wait_for(handle, std::chrono::milliseconds(1),
                              [this] { return handleWanted == 0 || !running; });
            continue;
        }
        if (!opened) {
            // Nothing to do until setDevice() opens a device or the loop is stopped; a pending
            // request waits meanwhile without counting as failed.
            idleWake.wait(handle, [this] { return opened || !running; });
            continue;
        }

        // data() gives the buffer a copy of its own if a receiver still holds the last report.
        auto *data = reinterpret_cast<unsigned char *>(buffer.data());
        // Where the connection can be woken, the read sleeps until a report comes, the device
        // fails, or setDevice() or a stop wakes it: an open device costs nothing while quiet.
        const int timeout = deviceHandle->canWake() ? -1 : readTimeoutMs;
        const HidConnection::Result read = deviceHandle->read(data, timeout);
        if (read == HidConnection::Result::Done) {
            {
                RequestChannel &channel = *requests;
                std::lock_guard<std::mutex> request(channel.requestLock);
                const unsigned char id = data[ReportLayout::idByte];
                if (id != 0 && id == channel.requestId && channel.requestPending) {
                    // The answer has come: no more retries.
                    channel.requestPending = false;
                    channel.retryCount = 0;
                    ++channel.requestNumber;
                }
            }
            emit newData(buffer);
        } else if (read == HidConnection::Result::Failed) {
            // The device is gone (pulled out, or its node removed under it): reading it again
            // would fail for ever. Close it and let the window re-list.
            closeDevice();
            linkOpen = false;
            emit deviceLost();
        }
    }
    stopWriter();
    // Under the lock, so that whoever destroys this object after wait() is seen to come after.
    std::lock_guard<std::mutex> handle(handleLock);
    stopAfterStart = false;
}

void usbHID::startWriter()
{
    RequestChannel &channel = *requests;
    std::lock_guard<std::mutex> request(channel.requestLock);
    if (channel.writer.joinable())
        return;
    channel.writer = std::thread(&usbHID::writeRequests, requests, ++channel.writerGeneration);
}

void usbHID::stopWriter()
{
    RequestChannel &channel = *requests;
    std::thread writer;
    bool writing;
    {
        std::lock_guard<std::mutex> request(channel.requestLock);
        if (!channel.writer.joinable())
            return;
        ++channel.writerGeneration;
        writing = channel.writing;
        writer = std::move(channel.writer);
    }
    channel.changed.notify_all();
    // A write the system does not give up holds its thread until it ends (seconds, for a
    // device that does not take the report); the thread then ends on its own.
    if (writing)
        writer.detach();
    else
        writer.join();
}

void usbHID::writeRequests(std::shared_ptr<RequestChannel> channel, int generation)
{
    std::unique_lock<std::mutex> request(channel->requestLock);
    for (;;) {
        channel->changed.wait(request, [&] {
            return channel->writerGeneration != generation
                || (channel->requestPending && channel->target);
        });
        if (channel->writerGeneration != generation)
            return;
        std::shared_ptr<HidConnection> target = channel->target;
        channel->requestReport[ReportLayout::reportIdByte] = ReportLayout::requestReportId;
        const std::array<unsigned char, reportSize> report = channel->requestReport;
        const quint64 number = channel->requestNumber;
        channel->writing = true;
        request.unlock();

        const HidConnection::Result result = target->write(report.data(), writeTimeoutMs);
        // Closes the device here if it was switched or lost while the write was under way.
        target.reset();

        request.lock();
        channel->writing = false;
        if (!channel->requestPending || channel->requestNumber != number)
            continue; // ended meanwhile by its answer
        switch (result) {
        case HidConnection::Result::Done:
        case HidConnection::Result::Failed: // a hard error ends the request as if written
            channel->requestPending = false;
            channel->retryCount = 0;
            break;
        case HidConnection::Result::TimedOut:
            if (++channel->retryCount >= maxWriteAttempts) {
                channel->requestPending = false;
                channel->retryCount = 0;
            }
            break;
        }
    }
}

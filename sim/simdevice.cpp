#include "simdevice.h"

#include <algorithm>
#include <cstring>

SimDevice::SimDevice(const QString &product, const QString &path, unsigned short vendorId,
                     unsigned short productId)
    : productString(product), devicePath(path), vendor(vendorId), productNumber(productId)
{
}

bool SimDevice::injectReport(const QByteArray &report, int delayMs)
{
    QByteArray fixed = report.left(reportSize);
    if (fixed.size() < reportSize)
        fixed.append(reportSize - fixed.size(), '\0');
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(std::max(delayMs, 0));
    {
        std::lock_guard<std::mutex> guard(lock);
        if (connections == 0 || !plugged)
            return false;
        if (inputLimit > 0 && int(input.size()) >= inputLimit) {
            ++dropped;
            return true; // taken by the device, lost on the way as with a full system buffer
        }
        // Keep the queue ordered by due time; equal times stay in injection order.
        auto at = std::upper_bound(input.begin(), input.end(), due,
                                   [](Clock::time_point t, const Pending &p) { return t < p.due; });
        input.insert(at, Pending{due, fixed});
    }
    changed.notify_all();
    return true;
}

int SimDevice::pendingReports() const
{
    std::lock_guard<std::mutex> guard(lock);
    return int(input.size());
}

void SimDevice::setInputLimit(int reports)
{
    std::lock_guard<std::mutex> guard(lock);
    inputLimit = std::max(reports, 0);
}

int SimDevice::droppedReports() const
{
    std::lock_guard<std::mutex> guard(lock);
    return dropped;
}

QList<QByteArray> SimDevice::writtenReports() const
{
    std::lock_guard<std::mutex> guard(lock);
    return written;
}

int SimDevice::writeAttempts() const
{
    std::lock_guard<std::mutex> guard(lock);
    return attempts;
}

bool SimDevice::waitForWriteAttempts(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [&] { return attempts >= count; });
}

void SimDevice::clearWrites()
{
    std::lock_guard<std::mutex> guard(lock);
    written.clear();
    attempts = 0;
}

void SimDevice::setResponder(Responder r)
{
    std::lock_guard<std::mutex> guard(lock);
    responder = std::move(r);
}

void SimDevice::setWriteMode(WriteMode mode)
{
    std::lock_guard<std::mutex> guard(lock);
    writeMode = mode;
}

void SimDevice::holdNextWrite(int ms)
{
    std::lock_guard<std::mutex> guard(lock);
    nextWriteHoldMs = std::max(ms, 0);
}

void SimDevice::setOpenFails(bool fail)
{
    std::lock_guard<std::mutex> guard(lock);
    openFails = fail;
}

void SimDevice::setReadFails(bool fail)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        readFails = fail;
    }
    changed.notify_all();
}

bool SimDevice::isOpen() const
{
    std::lock_guard<std::mutex> guard(lock);
    return connections > 0;
}

int SimDevice::openCount() const
{
    std::lock_guard<std::mutex> guard(lock);
    return opens;
}

bool SimDevice::isPlugged() const
{
    std::lock_guard<std::mutex> guard(lock);
    return plugged;
}

bool SimDevice::openConnection()
{
    std::lock_guard<std::mutex> guard(lock);
    if (!plugged || openFails)
        return false;
    if (connections++ == 0)
        input.clear();
    ++opens;
    return true;
}

void SimDevice::closeConnection()
{
    std::lock_guard<std::mutex> guard(lock);
    if (connections > 0 && --connections == 0)
        input.clear();
}

void SimDevice::setPlugged(bool p)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        plugged = p;
        if (!plugged)
            input.clear();
    }
    changed.notify_all();
}

HidConnection::Result SimDevice::read(unsigned char *buffer, int timeoutMs)
{
    const bool untilWoken = timeoutMs < 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        if (!plugged || readFails)
            return HidConnection::Result::Failed;
        const Clock::time_point now = Clock::now();
        if (!input.empty() && input.front().due <= now) {
            std::memcpy(buffer, input.front().report.constData(), reportSize);
            input.pop_front();
            return HidConnection::Result::Done;
        }
        if (wakePending) {
            wakePending = false;
            return HidConnection::Result::TimedOut;
        }
        if (!untilWoken && now >= deadline)
            return HidConnection::Result::TimedOut;
        if (untilWoken && input.empty()) {
            changed.wait(guard);
            continue;
        }
        Clock::time_point until = untilWoken ? input.front().due : deadline;
        if (!input.empty())
            until = std::min(until, input.front().due);
        changed.wait_until(guard, until);
    }
}

void SimDevice::wakeReader()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        wakePending = true;
    }
    changed.notify_all();
}

HidConnection::Result SimDevice::write(const unsigned char *report, int timeoutMs)
{
    const QByteArray copy(reinterpret_cast<const char *>(report), reportSize);
    Responder answer;
    {
        std::unique_lock<std::mutex> guard(lock);
        ++attempts;
        changed.notify_all();
        if (!plugged || writeMode == WriteMode::Fail)
            return HidConnection::Result::Failed;
        if (nextWriteHoldMs > 0) {
            const auto hold = std::chrono::milliseconds(nextWriteHoldMs);
            nextWriteHoldMs = 0;
            changed.wait_for(guard, hold, [&] { return !plugged; });
            return HidConnection::Result::Failed;
        }
        if (writeMode == WriteMode::Stall) {
            // The write stays under way for the whole wait, unless the device is pulled.
            changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return !plugged; });
            return plugged ? HidConnection::Result::TimedOut : HidConnection::Result::Failed;
        }
        written.append(copy);
        answer = responder;
    }
    if (answer)
        answer(*this, copy);
    return HidConnection::Result::Done;
}

#include "recordingwriter.h"

#include "filesync.h"
#include "reportclock.h"

#include <QDateTime>

RecordingWriter::~RecordingWriter()
{
    close();
}

bool RecordingWriter::open(const QString &path, RecordingFormat::Header header)
{
    close();
    {
        std::lock_guard<std::mutex> guard(lock);
        broken = false;
        error.clear();
        pending.clear();
        records = 0;
        lastUs = 0;
    }
    // record() does nothing until the header is written (started is still false).
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::lock_guard<std::mutex> guard(lock);
        error = file.errorString();
        return false;
    }
    const qint64 nowNs = monotonicNowNs();
    if (header.startMsUtc == 0) {
        const QDateTime now = QDateTime::currentDateTime();
        header.startMsUtc = now.toMSecsSinceEpoch();
        header.utcOffsetS = now.offsetFromUtc();
    }
    head = header;
    deviceProduct = head.product;
    devicePath = head.path;
    const QByteArray bytes = RecordingFormat::encodeHeader(head);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        std::lock_guard<std::mutex> guard(lock);
        error = file.errorString();
        file.close();
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        startNs = nowNs;
        stopping = false;
        started = true;
    }
    writer = std::thread([this] { writeLoop(); });
    return true;
}

void RecordingWriter::noteDevice(const QString &product, const QString &path)
{
    if (!isOpen() || (product == deviceProduct && path == devicePath))
        return;
    deviceProduct = product;
    devicePath = path;
    record(RecordingFormat::RecordKind::Device, RecordingFormat::encodeDevice(product, path));
}

bool RecordingWriter::record(RecordingFormat::RecordKind kind, const QByteArray &data)
{
    return record(kind, data, monotonicNowNs());
}

void RecordingWriter::setFailureHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> guard(lock);
    onFailure = std::move(handler);
}

void RecordingWriter::announceFailure()
{
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(lock);
        handler = onFailure;
    }
    if (handler)
        handler();
}

bool RecordingWriter::record(RecordingFormat::RecordKind kind, const QByteArray &data,
                             qint64 monotonicNs)
{
    bool wakeWriter = false;
    bool failedNow = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!started || broken || stopping)
            return false;
        // Times never go back in the file, even for stamps taken on different threads.
        const qint64 sinceStart = (monotonicNs - startNs) / 1000;
        const quint64 us = sinceStart > 0 ? quint64(sinceStart) : 0;
        const quint64 at = qMax(us, lastUs);
        RecordingFormat::appendRecord(pending, kind, at - lastUs, data);
        lastUs = at;
        ++records;
        if (pending.size() >= maxPendingBytes) {
            fail(QStringLiteral("the disk does not keep up with the reports"));
            failedNow = true;
        }
        wakeWriter = pending.size() >= wakeBytes;
    }
    if (wakeWriter)
        wake.notify_one();
    if (failedNow)
        announceFailure();
    return true;
}

void RecordingWriter::writeLoop()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        wake.wait_for(guard, flushInterval,
                      [this] { return stopping || pending.size() >= wakeBytes; });
        const bool last = stopping;
        QByteArray chunk;
        chunk.swap(pending);
        if (!chunk.isEmpty() && !broken) {
            guard.unlock();
            const bool written = file.write(chunk) == chunk.size() && file.flush();
            guard.lock();
            if (!written && !broken) {
                fail(file.errorString());
                guard.unlock();
                announceFailure();
                guard.lock();
            }
        }
        if (last)
            return;
    }
}

void RecordingWriter::fail(const QString &message)
{
    broken = true;
    error = message;
    pending.clear();
}

void RecordingWriter::close()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!started)
            return;
        stopping = true;
    }
    wake.notify_one();
    writer.join();
    // Only what the disk holds is saved: the system's cache goes with a power cut or a pulled
    // stick. The writer thread has ended; the file is this thread's alone.
    QString syncError;
    const bool synced = file.flush() && syncToDisk(file, &syncError);
    if (!synced && syncError.isEmpty())
        syncError = file.errorString();
    file.close();
    std::lock_guard<std::mutex> guard(lock);
    if (!synced && !broken) {
        broken = true;
        error = syncError;
    }
    started = false;
}

bool RecordingWriter::isOpen() const
{
    std::lock_guard<std::mutex> guard(lock);
    return started;
}

qint64 RecordingWriter::recordCount() const
{
    std::lock_guard<std::mutex> guard(lock);
    return records;
}

bool RecordingWriter::failed() const
{
    std::lock_guard<std::mutex> guard(lock);
    return broken;
}

QString RecordingWriter::errorString() const
{
    std::lock_guard<std::mutex> guard(lock);
    return error;
}

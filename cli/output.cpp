#include "output.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

QByteArray pending;
bool flushScheduled = false;
bool writeFailed = false;

// Large enough that a fast stream is written in few pieces, small enough to stay in cache.
constexpr int eagerFlushBytes = 64 * 1024;

void noteWriteFailure(int error)
{
    Output::noteFailure(QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

void Output::line(const QByteArray &text)
{
    pending += text;
    pending += '\n';
    if (pending.size() >= eagerFlushBytes) {
        flush();
    } else if (!flushScheduled && QCoreApplication::instance()) {
        // Runs after the events already queued, so a burst of reports is written at once.
        flushScheduled = true;
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] { Output::flush(); }, Qt::QueuedConnection);
    }
}

bool Output::flush()
{
    flushScheduled = false;
    if (!pending.isEmpty()) {
        errno = 0;
        if (std::fwrite(pending.constData(), 1, size_t(pending.size()), stdout) != size_t(pending.size()))
            noteWriteFailure(errno ? errno : EIO);
        pending.clear();
    }
    errno = 0;
    if (std::fflush(stdout) != 0)
        noteWriteFailure(errno ? errno : EIO);
    return !writeFailed;
}

bool Output::failed()
{
    return writeFailed;
}

void Output::noteFailure(const QString &reason)
{
    if (writeFailed)
        return;
    writeFailed = true;
    pending.clear();
    std::fprintf(stderr, "tolvexctl: cannot write standard output: %s\n", reason.toLocal8Bit().constData());
    std::fflush(stderr);
}

void complain(const QString &text)
{
    Output::flush();
    std::fprintf(stderr, "tolvexctl: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

#ifndef RECORDINGWRITER_H
#define RECORDINGWRITER_H

#include "recordingformat.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Writes a recording. record() may be called from any thread and only appends a few dozen
// bytes to a buffer under a lock; a thread of the writer's own puts the buffer into the file
// at least every flushInterval, so the exchange and parser threads never wait for the disk
// and a crash loses at most the last fraction of a second.
class RecordingWriter
{
public:
    RecordingWriter() = default;
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter &) = delete;
    RecordingWriter &operator=(const RecordingWriter &) = delete;

    // Creates the file (replacing one of that name) and writes the header. The header's start
    // time is taken now when it is 0; record times count from this call. open() and close()
    // come from one thread; record() may run meanwhile on others and is ignored while closed.
    bool open(const QString &path, RecordingFormat::Header header);
    bool isOpen() const;
    QString fileName() const { return file.fileName(); }
    const RecordingFormat::Header &header() const { return head; }

    // Appends one record stamped with the report clock now, or at the given reading of it.
    // Does nothing when the writer is not open or has failed. True when it was taken.
    bool record(RecordingFormat::RecordKind kind, const QByteArray &data);
    bool record(RecordingFormat::RecordKind kind, const QByteArray &data, qint64 monotonicNs);

    // The device in use now (both empty: none). Recorded when it is not the one the recording
    // names last (in its header or a device record before); from the thread of open().
    void noteDevice(const QString &product, const QString &path);

    // Called once when recording breaks (a write fails, or the disk falls too far behind), on
    // the thread that found it: the writer's own or one calling record(). Never called with
    // the writer's lock held, nor for a failure that close() finds. Set while closed.
    void setFailureHandler(std::function<void()> handler);

    // Writes what is buffered, syncs the file to the disk and closes it; a sync that fails
    // counts as a failure. Called by the destructor too.
    void close();

    // Records taken so far.
    qint64 recordCount() const;
    // A write failed or the disk fell too far behind: nothing more is recorded. The file
    // holds every record up to the failure.
    bool failed() const;
    QString errorString() const;

    static constexpr std::chrono::milliseconds flushInterval{250};
    // Buffered bytes at which the writer thread is woken early, and at which recording gives
    // up because the disk does not keep up.
    static constexpr int wakeBytes = 1 << 20;
    static constexpr int maxPendingBytes = 64 << 20;

private:
    void writeLoop();
    void fail(const QString &message); // with lock held
    void announceFailure();            // without it

    RecordingFormat::Header head;
    QString deviceProduct; // the device named last
    QString devicePath;
    QFile file;
    std::thread writer;

    mutable std::mutex lock;
    bool started = false;
    std::condition_variable wake;
    QByteArray pending;
    bool stopping = false;
    bool broken = false;
    QString error;
    std::function<void()> onFailure;
    qint64 startNs = 0;
    quint64 lastUs = 0;
    qint64 records = 0;
};

#endif // RECORDINGWRITER_H

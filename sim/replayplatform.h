#ifndef REPLAYPLATFORM_H
#define REPLAYPLATFORM_H

#include "hidplatform.h"
#include "recordingreader.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// A recording played back as a plugged-in device. The device is listed under the product
// and path it was recorded from (so the window shows the same "product [tag]"); once opened,
// it hands out the recorded input reports with their original spacing divided by the speed
// (speed 0: as fast as they are read). Requests written to it are accepted and dropped.
// After the last complete record the device is unplugged: it leaves the list, its reads
// fail, and devicesChanged() and finished() are emitted. Where the recording names another
// device in use, that device takes the recorded one's place as a re-plug would: the open
// connection's reads fail, devicesChanged() is emitted and the new device is listed; the
// recording goes on once it is opened. A recorded "no device" leaves the last one listed.
//
//     ReplayPlatform replay;
//     if (!replay.load(path, speed)) { ... replay.errorString() ... }
//     DeviceSession session(&replay);
class ReplayPlatform : public HidPlatform
{
    Q_OBJECT

public:
    explicit ReplayPlatform(QObject *parent = nullptr);
    ~ReplayPlatform() override;

    // Opens a recording and checks its header; false when it cannot be replayed at all.
    bool load(const QString &path, double speed = 1.0);
    QString errorString() const;
    RecordingFormat::Header header() const;
    // The device the replay presents: (product, path).
    QString productString() const;
    QString devicePath() const;

    // Holds reports back while backlog() (called on the reading thread) exceeds limit: a
    // replay as fast as possible then goes only as fast as the program decodes, instead of
    // queueing the whole recording in memory.
    void setBacklogLimit(std::function<int()> backlog, int limit);

    // While paused no report becomes due; the recording's timeline resumes where it stopped.
    void setPaused(bool paused);
    bool isPaused() const;
    bool isFinished() const;
    // Reports handed out so far, and the recording time of the last of them in seconds.
    qint64 reportsPlayed() const;
    double secondsPlayed() const;
    // Once finished: empty when the recording ended with a complete record; otherwise what
    // stopped it (a record cut off by a crash, a damaged record) and where.
    QString endProblem() const;

    DeviceList enumerate() override;
    std::unique_ptr<HidConnection> open(const QString &path) override;

signals:
    void finished();

private:
    friend class ReplayConnection;
    using Clock = std::chrono::steady_clock;

    HidConnection::Result read(unsigned char *buffer, int timeoutMs, quint64 connectionGeneration);
    // With lock held: the next input report into upcoming; false at the end of the records.
    bool fetchNext();
    // With lock held: when upcoming is due on the steady clock.
    Clock::time_point dueTime() const;
    // With lock held: the recording time now, in microseconds.
    quint64 recordingTimeNow(Clock::time_point now) const;

    mutable std::mutex lock;
    std::condition_variable changed;
    RecordingReader reader;
    QString error;
    double speed = 1.0;
    bool loaded = false;
    bool paused = false;
    bool finishedPlaying = false;
    bool clockStarted = false;
    bool haveUpcoming = false;
    // The device presented now, and how many times it has changed (a connection to an earlier
    // one reads no more).
    QString presentedProduct;
    QString presentedPath;
    quint64 generation = 0;
    RecordingReader::Record upcoming;
    // The recording time anchorUs was current at anchor (the playback clock while running).
    Clock::time_point anchor;
    quint64 anchorUs = 0;
    qint64 played = 0;
    quint64 lastPlayedUs = 0;
    quint64 firstUs = 0;
    QString problem;
    std::function<int()> backlog;
    int backlogLimit = 0;
};

#endif // REPLAYPLATFORM_H

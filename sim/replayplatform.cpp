#include "replayplatform.h"

#include <cstring>

namespace {

// Later than any time a recording holds, in microseconds (2^63 ns).
constexpr double latestRecordingUs = 9223372036854775.0;
// The longest wait dueTime() adds to a steady-clock reading: about 31 years, far from overflow.
constexpr double longestWaitUs = 1e15;

} // namespace

// What the exchange thread holds of the open replay device.
class ReplayConnection : public HidConnection
{
public:
    ReplayConnection(ReplayPlatform &platform, quint64 generation) : platform(platform), generation(generation) {}

    Result read(unsigned char *buffer, int timeoutMs) override
    {
        return platform.read(buffer, timeoutMs, generation);
    }
    Result write(const unsigned char *, int) override
    {
        return platform.isFinished() ? Result::Failed : Result::Done;
    }

private:
    ReplayPlatform &platform;
    const quint64 generation; // of the device it was opened to
};

ReplayPlatform::ReplayPlatform(QObject *parent) : HidPlatform(parent) {}

ReplayPlatform::~ReplayPlatform() = default;

bool ReplayPlatform::load(const QString &path, double playbackSpeed)
{
    std::lock_guard<std::mutex> guard(lock);
    loaded = reader.open(path);
    error = reader.errorString();
    speed = playbackSpeed > 0 ? playbackSpeed : 0;
    paused = false;
    finishedPlaying = !loaded;
    clockStarted = false;
    haveUpcoming = false;
    played = 0;
    lastPlayedUs = 0;
    problem.clear();
    presentedProduct = reader.header().product;
    // A recording begun with no device open names none; it still plays as one.
    presentedPath = reader.header().path.isEmpty() ? QStringLiteral("replay:") + reader.fileName()
                                                   : reader.header().path;
    ++generation;
    return loaded;
}

QString ReplayPlatform::errorString() const
{
    std::lock_guard<std::mutex> guard(lock);
    return error;
}

RecordingFormat::Header ReplayPlatform::header() const
{
    std::lock_guard<std::mutex> guard(lock);
    return reader.header();
}

QString ReplayPlatform::productString() const
{
    std::lock_guard<std::mutex> guard(lock);
    return presentedProduct;
}

QString ReplayPlatform::devicePath() const
{
    std::lock_guard<std::mutex> guard(lock);
    return presentedPath;
}

void ReplayPlatform::setPaused(bool pause)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (pause == paused)
            return;
        const Clock::time_point now = Clock::now();
        if (clockStarted) {
            if (pause)
                anchorUs = recordingTimeNow(now);
            anchor = now;
        }
        paused = pause;
    }
    changed.notify_all();
}

void ReplayPlatform::setBacklogLimit(std::function<int()> function, int limit)
{
    std::lock_guard<std::mutex> guard(lock);
    backlog = std::move(function);
    backlogLimit = limit;
}

bool ReplayPlatform::isPaused() const
{
    std::lock_guard<std::mutex> guard(lock);
    return paused;
}

bool ReplayPlatform::isFinished() const
{
    std::lock_guard<std::mutex> guard(lock);
    return finishedPlaying;
}

qint64 ReplayPlatform::reportsPlayed() const
{
    std::lock_guard<std::mutex> guard(lock);
    return played;
}

double ReplayPlatform::secondsPlayed() const
{
    std::lock_guard<std::mutex> guard(lock);
    return played ? double(lastPlayedUs - firstUs) / 1e6 : 0.0;
}

QString ReplayPlatform::endProblem() const
{
    std::lock_guard<std::mutex> guard(lock);
    return problem;
}

DeviceList ReplayPlatform::enumerate()
{
    DeviceList list;
    if (!isFinished())
        list.append(qMakePair(productString(), devicePath()));
    return list;
}

std::unique_ptr<HidConnection> ReplayPlatform::open(const QString &path)
{
    std::lock_guard<std::mutex> guard(lock);
    if (finishedPlaying || path != presentedPath)
        return nullptr;
    // Opened to the device presented now, even if the first records name another.
    const quint64 openedGeneration = generation;
    if (!clockStarted) {
        // The timeline starts with the first report, at the first open.
        clockStarted = true;
        anchor = Clock::now();
        anchorUs = haveUpcoming || fetchNext() ? upcoming.timeUs : 0;
        firstUs = anchorUs;
    }
    return std::make_unique<ReplayConnection>(*this, openedGeneration);
}

bool ReplayPlatform::fetchNext()
{
    while (reader.next(upcoming)) {
        if (upcoming.kind == RecordingFormat::RecordKind::Report) {
            haveUpcoming = true;
            return true;
        }
        if (upcoming.kind == RecordingFormat::RecordKind::Device) {
            QString product;
            QString path;
            RecordingFormat::decodeDevice(upcoming.data, &product, &path);
            if (!path.isEmpty() && (product != presentedProduct || path != presentedPath)) {
                presentedProduct = product;
                presentedPath = path;
                ++generation;
            }
        }
    }
    haveUpcoming = false;
    return false;
}

quint64 ReplayPlatform::recordingTimeNow(Clock::time_point now) const
{
    if (paused || speed == 0)
        return anchorUs;
    // Recording times stay below 2^63 ns (the reader refuses later ones); a very high speed
    // reaches the end of any recording at once rather than wrapping round.
    const double elapsedUs = std::chrono::duration<double, std::micro>(now - anchor).count();
    const double recordingUs = double(anchorUs) + qMax(0.0, elapsedUs * speed);
    return recordingUs < latestRecordingUs ? quint64(recordingUs) : quint64(latestRecordingUs);
}

ReplayPlatform::Clock::time_point ReplayPlatform::dueTime() const
{
    if (speed == 0 || upcoming.timeUs <= anchorUs)
        return anchor;
    // A wait longer than a steady-clock reading can hold (a slow replay of a gap of
    // centuries) is as good as never: the read times out and looks again.
    const double waitUs = double(upcoming.timeUs - anchorUs) / speed;
    if (!(waitUs < longestWaitUs))
        return Clock::time_point::max();
    return anchor + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::micro>(waitUs));
}

HidConnection::Result ReplayPlatform::read(unsigned char *buffer, int timeoutMs, quint64 connectionGeneration)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        if (finishedPlaying)
            return HidConnection::Result::Failed;
        if (connectionGeneration != generation) {
            // Another device took this one's place: this one is pulled out.
            guard.unlock();
            emit devicesChanged();
            return HidConnection::Result::Failed;
        }
        if (!haveUpcoming && !fetchNext()) {
            finishedPlaying = true;
            problem = reader.errorString();
            guard.unlock();
            // Pulled out: the window re-lists and finds the device gone.
            emit devicesChanged();
            emit finished();
            return HidConnection::Result::Failed;
        }
        const Clock::time_point now = Clock::now();
        const bool behind = backlog && backlog() > backlogLimit;
        if (!paused && !behind) {
            if (dueTime() <= now) {
                std::memcpy(buffer, upcoming.data.constData(), RecordingFormat::reportSize);
                haveUpcoming = false;
                ++played;
                lastPlayedUs = upcoming.timeUs;
                return HidConnection::Result::Done;
            }
        }
        if (now >= deadline)
            return HidConnection::Result::TimedOut;
        const Clock::time_point until = paused || behind ? deadline : qMin(deadline, dueTime());
        changed.wait_until(guard, until);
    }
}

#include "runlimits.h"

#include "devicelink.h"
#include "exitstatus.h"
#include "output.h"
#include "stopsignals.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>

namespace {

const QCommandLineOption countOption(QStringLiteral("count"), QStringLiteral("Stop after N reports."),
                                     QStringLiteral("N"));
const QCommandLineOption durationOption(QStringLiteral("duration"),
                                        QStringLiteral("Stop after SECONDS (fractions allowed)."),
                                        QStringLiteral("SECONDS"));
const QCommandLineOption followOption(QStringLiteral("follow"),
                                      QStringLiteral("When the device goes, wait for it to come back (by its tag) "
                                                     "and go on, instead of ending with status 7."));

// Longer runs are no unattended log but a mistake; a duration is counted in nanoseconds.
constexpr double maxDurationS = 10 * 365.25 * 24 * 3600;
constexpr qint64 longestWaitMs = 3600 * 1000;

} // namespace

QList<QCommandLineOption> RunLimits::options()
{
    return {countOption, durationOption, followOption};
}

QString RunLimits::read(const QCommandLineParser &parser)
{
    bool ok = true;
    follow = parser.isSet(followOption);
    count = parser.isSet(countOption) ? parser.value(countOption).toLongLong(&ok) : -1;
    if (!ok || (parser.isSet(countOption) && count < 1))
        return QStringLiteral("--count wants a whole number of reports, at least 1");
    duration = parser.isSet(durationOption) ? parser.value(durationOption).toDouble(&ok) : -1;
    if (!ok || (parser.isSet(durationOption) && !(duration >= 0 && duration <= maxDurationS)))
        return QStringLiteral("--duration wants a number of seconds, at most %1 (ten years)")
            .arg(maxDurationS, 0, 'f', 0);
    return QString();
}

RunEndings::RunEndings(DeviceLink &link, QEventLoop &loop, const RunLimits &limits,
                       const std::function<void(int)> &finish)
    : stopSignals(std::make_unique<StopSignals>())
{
    const bool follow = limits.follow;
    QObject::connect(&link, &DeviceLink::gone, &loop, [&link, finish, follow] {
        if (follow) {
            complain(QStringLiteral("device %1 (%2) is gone; waiting for it to come back")
                         .arg(link.deviceText(), link.path()));
            return;
        }
        complain(QStringLiteral("device %1 (%2) is gone").arg(link.deviceText(), link.path()));
        finish(ExitStatus::deviceGone);
    });
    QObject::connect(&link, &DeviceLink::back, &loop, [&link] {
        complain(QStringLiteral("device %1 (%2) is back").arg(link.deviceText(), link.path()));
    });
    QObject::connect(stopSignals.get(), &StopSignals::stopRequested, &loop, [finish] { finish(ExitStatus::ok); });
    if (limits.duration < 0)
        return;
    // A timer counts at most 2^31 ms (under 25 days): the run ends at a deadline, looked at
    // by a timer that waits at most an hour at a time.
    const QDeadlineTimer deadline(std::chrono::nanoseconds(qint64(limits.duration * 1e9)), Qt::PreciseTimer);
    auto *timer = new QTimer(&loop);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    auto arm = [timer, deadline] {
        const qint64 remainingNs = deadline.remainingTimeNSecs();
        timer->start(int(qBound<qint64>(0, (remainingNs + 999999) / 1000000, longestWaitMs)));
    };
    QObject::connect(timer, &QTimer::timeout, &loop, [deadline, arm, finish] {
        if (deadline.hasExpired())
            finish(ExitStatus::ok);
        else
            arm();
    });
    arm();
}

RunEndings::~RunEndings() = default;

#include "runlimits.h"

#include "devicelink.h"
#include "exitstatus.h"
#include "output.h"
#include "stopsignals.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QTimer>

namespace {

const QCommandLineOption countOption(QStringLiteral("count"), QStringLiteral("Stop after N reports."),
                                     QStringLiteral("N"));
const QCommandLineOption durationOption(QStringLiteral("duration"),
                                        QStringLiteral("Stop after SECONDS (fractions allowed)."),
                                        QStringLiteral("SECONDS"));

} // namespace

QList<QCommandLineOption> RunLimits::options()
{
    return {countOption, durationOption};
}

QString RunLimits::read(const QCommandLineParser &parser)
{
    bool ok = true;
    count = parser.isSet(countOption) ? parser.value(countOption).toLongLong(&ok) : -1;
    if (!ok || (parser.isSet(countOption) && count < 1))
        return QStringLiteral("--count wants a whole number of reports, at least 1");
    duration = parser.isSet(durationOption) ? parser.value(durationOption).toDouble(&ok) : -1;
    if (!ok || (parser.isSet(durationOption) && !(duration >= 0 && duration < 1e9)))
        return QStringLiteral("--duration wants a number of seconds");
    return QString();
}

RunEndings::RunEndings(DeviceLink &link, QEventLoop &loop, const RunLimits &limits,
                       const std::function<void(int)> &finish)
    : stopSignals(std::make_unique<StopSignals>())
{
    QObject::connect(&link, &DeviceLink::gone, &loop, [&link, finish] {
        complain(QStringLiteral("device %1 (%2) is gone").arg(link.deviceText(), link.path()));
        finish(ExitStatus::deviceGone);
    });
    QObject::connect(stopSignals.get(), &StopSignals::stopRequested, &loop, [finish] { finish(ExitStatus::ok); });
    if (limits.duration >= 0)
        QTimer::singleShot(qRound64(limits.duration * 1000), Qt::PreciseTimer, &loop,
                           [finish] { finish(ExitStatus::ok); });
}

RunEndings::~RunEndings() = default;

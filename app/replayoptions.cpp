#include "replayoptions.h"

#include "replayplatform.h"

#include <QCommandLineParser>

#include <cmath>

ReplayOptions::ReplayOptions(QCommandLineParser &parser)
    : replay(QStringLiteral("replay"),
             QStringLiteral("Replay a recording as a plugged-in device."), QStringLiteral("FILE")),
      speed(QStringLiteral("speed"),
            QStringLiteral("Replay X times as fast as recorded (0: as fast as possible; default 1)."),
            QStringLiteral("X"), QStringLiteral("1"))
{
    parser.addOption(replay);
    parser.addOption(speed);
}

QString ReplayOptions::fileName(const QCommandLineParser &parser) const
{
    return parser.value(replay);
}

std::unique_ptr<ReplayPlatform> ReplayOptions::open(const QCommandLineParser &parser,
                                                    QString *problem) const
{
    problem->clear();
    if (!parser.isSet(replay)) {
        if (parser.isSet(speed))
            *problem = QStringLiteral("--speed is only for --replay");
        return nullptr;
    }
    bool ok = false;
    const double factor = parser.value(speed).toDouble(&ok);
    if (!ok || !std::isfinite(factor) || factor < 0) {
        *problem = QStringLiteral("--speed %1: give a number of zero or more").arg(parser.value(speed));
        return nullptr;
    }
    auto platform = std::make_unique<ReplayPlatform>();
    if (!platform->load(parser.value(replay), factor)) {
        *problem = platform->errorString();
        return nullptr;
    }
    return platform;
}

#ifndef REPLAYOPTIONS_H
#define REPLAYOPTIONS_H

#include <QCommandLineOption>
#include <QString>

#include <memory>

class QCommandLineParser;
class ReplayPlatform;

// The window's "--replay FILE [--speed X]": the window on a recording instead of the
// system's devices.
class ReplayOptions
{
public:
    // Adds both options to the parser.
    explicit ReplayOptions(QCommandLineParser &parser);

    // After parsing: null without --replay. Otherwise the loaded replay platform, or null
    // with *problem saying what is wrong (a speed that is no number of zero or more, a file
    // that is no recording).
    std::unique_ptr<ReplayPlatform> open(const QCommandLineParser &parser, QString *problem) const;
    QString fileName(const QCommandLineParser &parser) const;

private:
    QCommandLineOption replay;
    QCommandLineOption speed;
};

#endif // REPLAYOPTIONS_H

#include "windowoptions.h"

#include "configlocation.h"
#include "configuration.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cmath>
#include <cstdio>
#include <cstdlib>

QString WindowOptions::configFile() const
{
    return configPath.isEmpty() ? configPathBesideExecutable() : configPath;
}

WindowOptions WindowOptions::fromCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Watches and commands a Tolvex measuring device (USB HID 0483:5750)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(
        QStringLiteral("config"),
        QStringLiteral("Configuration file (default: the JSON file named after the executable, beside it)."),
        QStringLiteral("file"));
    const QCommandLineOption deviceOption(
        QStringLiteral("device"),
        QStringLiteral("Device to open, by the tag shown in brackets or by path (default: the first one)."),
        QStringLiteral("tag|path"));
    const QCommandLineOption replayOption(
        QStringLiteral("replay"), QStringLiteral("Replay a recording as a plugged-in device."),
        QStringLiteral("file"));
    const QCommandLineOption speedOption(
        QStringLiteral("speed"),
        QStringLiteral("Replay X times as fast as recorded; 0: as fast as possible (default 1)."),
        QStringLiteral("X"), QStringLiteral("1"));
    const QCommandLineOption languageOption(
        QStringLiteral("language"),
        QStringLiteral("Language of the window: ru or en (default: the configuration's settings.language, else ru)."),
        QStringLiteral("ru|en"));
    parser.addOptions({configOption, deviceOption, replayOption, speedOption, languageOption});

    const bool parsed = parser.parse(arguments);
    bool speedOk = false;
    const double speed = parser.value(speedOption).toDouble(&speedOk);
    QString error;
    if (!parsed)
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    else if (!speedOk || !std::isfinite(speed) || speed < 0)
        error = QStringLiteral("--speed %1: give a number of zero or more.").arg(parser.value(speedOption));
    else if (parser.isSet(speedOption) && !parser.isSet(replayOption))
        error = QStringLiteral("--speed is for --replay only.");
    else if (parser.isSet(languageOption) && !Configuration::isKnownLanguage(parser.value(languageOption)))
        error = QStringLiteral("--language %1: give ru or en.").arg(parser.value(languageOption));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(error), qPrintable(parser.helpText()));
        std::exit(2);
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    WindowOptions options;
    options.configPath = parser.value(configOption);
    options.device = parser.value(deviceOption);
    options.replayPath = parser.value(replayOption);
    options.replaySpeed = speed;
    options.language = parser.value(languageOption);
    return options;
}

#include "windowoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

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
    parser.addOptions({configOption, deviceOption});

    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString error = parser.positionalArguments().isEmpty()
                                  ? parser.errorText()
                                  : QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
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
    return options;
}

#ifndef WINDOWOPTIONS_H
#define WINDOWOPTIONS_H

#include <QString>
#include <QStringList>

// What the command line may change about the window. Without options it reads the
// configuration beside the executable and opens the first matching device.
struct WindowOptions
{
    // The configuration file; empty: the one beside the executable.
    QString configPath;
    // The file the configuration is read from: configPath, or the one beside the executable.
    QString configFile() const;
    // The device to open when it is plugged in, by tag or path; empty: the first one.
    QString device;
    // A recording to replay as a plugged-in device instead of the system's devices, and how
    // many times as fast as recorded (0: as fast as it goes).
    QString replayPath;
    double replaySpeed = 1.0;
    // The window's language, "ru" or "en"; empty: the configuration's (Russian by default).
    QString language;

    // Reads --config FILE, --device TAG|PATH, --replay FILE, --speed X and --language LANG (and
    // answers --help and --version itself).
    // On a usage error, prints it with the usage to stderr and ends the program with status 2.
    static WindowOptions fromCommandLine(const QStringList &arguments);
};

#endif // WINDOWOPTIONS_H

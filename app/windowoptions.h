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
    // The device to open when it is plugged in, by tag or path; empty: the first one.
    QString device;

    // Reads --config FILE and --device TAG|PATH (and answers --help and --version itself).
    // On a usage error, prints it with the usage to stderr and ends the program with status 2.
    static WindowOptions fromCommandLine(const QStringList &arguments);
};

#endif // WINDOWOPTIONS_H

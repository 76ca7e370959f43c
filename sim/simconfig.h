#ifndef SIMCONFIG_H
#define SIMCONFIG_H

#include "commanddescription.h"

#include <QList>
#include <QString>

// What a simulated device needs to know of a configuration file: its telemetry entry (id 0)
// and its commands (every other entry, in file order).
struct SimConfig
{
    CommandDescription telemetry;
    QList<CommandDescription> commands;

    // Reads the file; a file that cannot be read or parsed gives no telemetry and no commands.
    static SimConfig read(const QString &path);
    // The configuration file beside the running executable, named as the window looks for it.
    static QString besideExecutable();
};

#endif // SIMCONFIG_H

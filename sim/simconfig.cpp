#include "simconfig.h"

#include "configlocation.h"
#include "configuration.h"

SimConfig SimConfig::read(const QString &path)
{
    const Configuration configuration = Configuration::load(path);
    SimConfig config;
    config.telemetry = configuration.telemetry;
    config.commands = configuration.commands;
    return config;
}

QString SimConfig::besideExecutable()
{
    return configPathBesideExecutable();
}

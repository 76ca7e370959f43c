#include "simconfig.h"

#include "configlocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

SimConfig SimConfig::read(const QString &path)
{
    SimConfig config;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return config;
    const QJsonArray entries =
        QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("commands")).toArray();
    for (const QJsonValue &entry : entries) {
        CommandDescription description(entry.toObject());
        if (description.id == 0)
            config.telemetry = description;
        else
            config.commands.append(description);
    }
    return config;
}

QString SimConfig::besideExecutable()
{
    return configPathBesideExecutable();
}

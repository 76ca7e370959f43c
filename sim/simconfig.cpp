#include "simconfig.h"

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
    const QFileInfo executable(QCoreApplication::applicationFilePath());
#ifdef Q_OS_WIN
    const QString baseName = executable.completeBaseName();
#else
    const QString baseName = executable.fileName();
#endif
    return executable.path() + QDir::separator() + baseName + QStringLiteral(".json");
}

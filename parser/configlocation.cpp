#include "configlocation.h"

#include "systemfilenames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString configPathBesideExecutable()
{
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    return executable.path() + QDir::separator() + executableBaseName(executable.fileName())
        + QStringLiteral(".json");
}

QString windowConfigPathBesideExecutable()
{
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    return executable.path() + QDir::separator() + QStringLiteral("Tolvex_Client.json");
}

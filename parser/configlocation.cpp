#include "configlocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString configPathBesideExecutable()
{
    const QFileInfo executable(QCoreApplication::applicationFilePath());
#ifdef Q_OS_WIN
    const QString baseName = executable.completeBaseName();
#else
    const QString baseName = executable.fileName();
#endif
    return executable.path() + QDir::separator() + baseName + QStringLiteral(".json");
}

QString windowConfigPathBesideExecutable()
{
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    return executable.path() + QDir::separator() + QStringLiteral("Tolvex_Client.json");
}

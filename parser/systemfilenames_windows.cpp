#include "systemfilenames.h"

#include <QFileInfo>

QString withoutReservedCharacters(const QString &fileName)
{
    QString name = fileName;
    // "t:1.csv" would name an alternate stream of the file "t".
    name.replace(QLatin1Char(':'), QLatin1Char('_'));
    return name;
}

QString sameFileKey(const QString &fileName)
{
    // File names differing only in case are one file there.
    return fileName.toCaseFolded();
}

QString executableBaseName(const QString &executableFileName)
{
    // a.b.exe reads a.b.json.
    return QFileInfo(executableFileName).completeBaseName();
}

#include "systemfilenames.h"

QString withoutReservedCharacters(const QString &fileName)
{
    return fileName;
}

QString sameFileKey(const QString &fileName)
{
    return fileName;
}

QString executableBaseName(const QString &executableFileName)
{
    // Executables have no suffix: a.b reads a.b.json.
    return executableFileName;
}

#ifndef SYSTEMFILENAMES_H
#define SYSTEMFILENAMES_H

#include <QString>

// What the system's file names allow and mean, for the names the program makes itself (each
// system has its own file).

// A file name with the characters the system reserves (beyond the path separators, which
// every system reserves) replaced by '_'.
QString withoutReservedCharacters(const QString &fileName);

// Two file names that are one file on this system have the same key (case-folded where case
// does not tell files apart).
QString sameFileKey(const QString &fileName);

// The executable's name without the suffix that marks it as one on this system.
QString executableBaseName(const QString &executableFileName);

#endif // SYSTEMFILENAMES_H

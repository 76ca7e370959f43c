#ifndef CONFIGLOCATION_H
#define CONFIGLOCATION_H

#include <QString>

// The configuration lies beside the executable and carries its name: Tolvex_Client.exe reads
// Tolvex_Client.json, a.b.exe reads a.b.json. Where executables have no suffix the whole
// file name is kept, so that a.b reads a.b.json there too.
QString configPathBesideExecutable();

// The window's configuration, Tolvex_Client.json, in the folder of the running executable:
// what the program's other tools read when they are installed beside it.
QString windowConfigPathBesideExecutable();

#endif // CONFIGLOCATION_H

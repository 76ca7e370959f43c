#include "filesync.h"

#include <QFileDevice>

#include <io.h>
#include <windows.h>

bool syncToDisk(QFileDevice &file, QString *error)
{
    const intptr_t handle = file.handle() >= 0 ? _get_osfhandle(file.handle()) : -1;
    if (handle == -1 || handle == -2) {
        *error = QStringLiteral("the file is not open");
        return false;
    }
    if (FlushFileBuffers(reinterpret_cast<HANDLE>(handle)))
        return true;
    const DWORD code = GetLastError();
    // A console or pipe that cannot be flushed holds nothing to lose.
    if (code == ERROR_INVALID_HANDLE || code == ERROR_INVALID_FUNCTION)
        return true;
    *error = QStringLiteral("FlushFileBuffers failed (error %1)").arg(code);
    return false;
}

#include "filesync.h"

#include <QFileDevice>

#include <cerrno>
#include <cstring>
#include <unistd.h>

bool syncToDisk(QFileDevice &file, QString *error)
{
    const int fd = file.handle();
    if (fd < 0) {
        *error = QStringLiteral("the file is not open");
        return false;
    }
    // A device or pipe that cannot be synced holds nothing to lose.
    if (fsync(fd) == 0 || errno == EINVAL || errno == EROFS)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

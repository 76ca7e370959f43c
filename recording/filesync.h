#ifndef FILESYNC_H
#define FILESYNC_H

#include <QString>

class QFileDevice;

// Puts what the system still holds of an open file onto the disk (fsync, FlushFileBuffers),
// after the file's own buffer was flushed. False when the system could not; error then says why.
bool syncToDisk(QFileDevice &file, QString *error);

#endif // FILESYNC_H

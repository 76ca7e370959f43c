#include "devicesession.h"

#include <QFileInfo>

// A device node that does not open is almost always one the udev rule has not given to the
// user.
QString DeviceSession::cannotOpenText(const QString &deviceText, const QString &path)
{
    const QFileInfo node(path);
    const QString reason = node.exists() && !(node.isReadable() && node.isWritable())
                               ? QStringLiteral("no permission to read and write it")
                               : QStringLiteral("it does not open, usually for want of permission");
    return QStringLiteral("cannot open %1 (%2): %3. Install the udev rule 70-tolvex-client.rules "
                          "(packaging/70-tolvex-client.rules; make install puts it in "
                          "/etc/udev/rules.d) and plug the device in again")
        .arg(deviceText, path, reason);
}

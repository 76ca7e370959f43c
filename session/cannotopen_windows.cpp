#include "devicesession.h"

// Every program may open a HID device; one that does not open is held by another program
// without sharing.
QString DeviceSession::cannotOpenText(const QString &deviceText, const QString &path)
{
    return QStringLiteral("cannot open %1 (%2): another program may hold it").arg(deviceText, path);
}

#ifndef DEVICETAG_H
#define DEVICETAG_H

#include "devicelist.h"

#include <QString>

// A short hexadecimal tag telling apart devices with the same product string.
QString deviceTag(const QString &product, const QString &path);

// The position in the list of the device named by its path or by its tag (in any case);
// -1 when none is. A path wins over a tag that happens to read the same.
int indexOfDevice(const DeviceList &devices, const QString &tagOrPath);

#endif // DEVICETAG_H

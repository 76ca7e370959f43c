#ifndef DEVICETAG_H
#define DEVICETAG_H

#include <QString>

// A short hexadecimal tag telling apart devices with the same product string.
QString deviceTag(const QString &product, const QString &path);

#endif // DEVICETAG_H

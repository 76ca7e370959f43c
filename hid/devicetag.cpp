#include "devicetag.h"

#include <cstdint>

namespace {

// The string hash the tag has always been made of (Qt 5's qHash of a string with seed 0),
// written out so that the tags stay the same whatever Qt's own hash becomes.
std::uint32_t stringHash(const QString &text)
{
    std::uint32_t h = 0;
    for (const QChar c : text)
        h = 31 * h + c.unicode();
    return h;
}

} // namespace

int indexOfDevice(const DeviceList &devices, const QString &tagOrPath)
{
    if (tagOrPath.isEmpty())
        return -1;
    for (int i = 0; i < devices.size(); ++i) {
        if (devices.at(i).second == tagOrPath)
            return i;
    }
    for (int i = 0; i < devices.size(); ++i) {
        if (deviceTag(devices.at(i).first, devices.at(i).second).compare(tagOrPath, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString deviceTag(const QString &product, const QString &path)
{
    const std::uint32_t h1 = stringHash(product);
    const std::uint32_t h2 = stringHash(path);
    const std::uint32_t tag = ((h1 << 16) | (h1 >> 16)) ^ h2;
    return QString::number(tag, 16);
}

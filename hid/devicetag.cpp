#include "devicetag.h"

// Placeholder until the tag is computed.
QString deviceTag(const QString &, const QString &)
{
    return QString();
}

#include "systemplatform.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include "hidrawplatform.h"
#else
#include "hidapiplatform.h"
#endif

std::unique_ptr<HidPlatform> makeSystemPlatform()
{
#ifdef Q_OS_LINUX
    return std::make_unique<HidrawPlatform>();
#else
    return std::make_unique<HidapiPlatform>();
#endif
}

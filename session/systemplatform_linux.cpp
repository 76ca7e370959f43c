#include "systemplatform.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX)
#include "hidrawplatform.h"
#elif defined(Q_OS_WIN)
#include "winhidplatform.h"
#else
#include "hidapiplatform.h"
#endif

std::unique_ptr<HidPlatform> makeSystemPlatform()
{
#if defined(Q_OS_LINUX)
    return std::make_unique<HidrawPlatform>();
#elif defined(Q_OS_WIN)
    return std::make_unique<WinHidPlatform>();
#else
    return std::make_unique<HidapiPlatform>();
#endif
}

#include "systemplatform.h"

#include "hidrawplatform.h"

// The kernel's hidraw nodes, found and watched through libudev.
std::unique_ptr<HidPlatform> makeSystemPlatform()
{
    return std::make_unique<HidrawPlatform>();
}

#include "systemplatform.h"

#include "winhidplatform.h"

// SetupAPI and the HID calls.
std::unique_ptr<HidPlatform> makeSystemPlatform()
{
    return std::make_unique<WinHidPlatform>();
}

#include "systemplatform.h"

#include "hidapiplatform.h"

// hidapi, where the program has no layer of its own.
std::unique_ptr<HidPlatform> makeSystemPlatform()
{
    return std::make_unique<HidapiPlatform>();
}

#include "hidplatform.h"

const char deviceIdFilter[] = "vid_0483&pid_5750";

namespace {
HidPlatform *installedPlatform = nullptr;
}

HidPlatform *HidPlatform::instance()
{
    return installedPlatform;
}

void HidPlatform::install(HidPlatform *platform)
{
    installedPlatform = platform;
}

#include "hidplatform.h"

#include <atomic>

const char deviceIdFilter[] = "vid_0483&pid_5750";

namespace {
std::atomic<HidPlatform *> installedPlatform{nullptr};
}

HidPlatform *HidPlatform::instance()
{
    return installedPlatform.load();
}

void HidPlatform::install(HidPlatform *platform)
{
    installedPlatform.store(platform);
}

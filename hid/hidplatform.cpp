#include "hidplatform.h"

#include <QTimer>

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

HidPlatform::~HidPlatform()
{
    HidPlatform *self = this;
    installedPlatform.compare_exchange_strong(self, nullptr);
}

DeviceList HidPlatform::listDevices()
{
    lastListed = enumerate();
    return lastListed;
}

void HidPlatform::startListComparison(int intervalMs)
{
    if (!listTimer) {
        listTimer = new QTimer(this);
        connect(listTimer, &QTimer::timeout, this, &HidPlatform::compareList);
    }
    lastListed = enumerate();
    listTimer->start(intervalMs);
}

void HidPlatform::stopListComparison()
{
    if (listTimer)
        listTimer->stop();
}

void HidPlatform::compareList()
{
    // Against the program's own last look, not this comparison's: a device unplugged and
    // plugged again between two comparisons, the window having re-listed in between for
    // another reason, is still a change to the window.
    DeviceList now = enumerate();
    if (now == lastListed)
        return;
    lastListed = std::move(now);
    emit devicesChanged();
}

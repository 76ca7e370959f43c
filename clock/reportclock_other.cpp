#include "reportclock.h"

#include <chrono>

// Systems without a clock known to count suspend: the steady clock, which may stop while the
// machine sleeps.
qint64 ReportClockPlatform::nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

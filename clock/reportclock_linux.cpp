#include "reportclock.h"

#include <time.h>

// CLOCK_MONOTONIC stops while the machine is suspended; CLOCK_BOOTTIME is the same clock with
// the time spent in suspend added.
qint64 ReportClockPlatform::nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

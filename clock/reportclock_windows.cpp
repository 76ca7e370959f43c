#include "reportclock.h"

#include <windows.h>

// The performance counter counts from the system's start, including the time spent in standby,
// hibernation and connected standby. Its frequency is fixed at boot.
qint64 ReportClockPlatform::nowNs()
{
    static const qint64 frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return qint64(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const qint64 ticks = counter.QuadPart;
    // Whole seconds and the rest apart: ticks * 10^9 would overflow after a few weeks' uptime.
    return ticks / frequency * 1000000000 + ticks % frequency * 1000000000 / frequency;
}

#ifndef REPORTCLOCK_H
#define REPORTCLOCK_H

#include <QtGlobal>

#include <chrono>

// The clock every report and request is stamped with: monotonic, in nanoseconds, the same on
// every thread. Wall-clock times are derived from it by one reading of both clocks taken
// together, so a clock set forward or back during a session does not bend its timeline.
inline qint64 monotonicNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

#endif // REPORTCLOCK_H

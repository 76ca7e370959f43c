#ifndef REPORTCLOCK_H
#define REPORTCLOCK_H

#include <QtGlobal>

// The clock every report and request is stamped with: monotonic, in nanoseconds, the same on
// every thread, and running on while the machine sleeps (a laptop suspended with the device
// attached resumes with the link intact, and the reports after it must be timed after the
// sleep). Wall-clock times are derived from it by one reading of both clocks taken together,
// so a clock set forward or back during a session does not bend its timeline.
//
// The readings come from the system's clock that counts suspend: CLOCK_BOOTTIME on Linux,
// QueryPerformanceCounter on Windows (it counts standby and hibernation); see the
// reportclock_*.cpp of each system.
qint64 monotonicNowNs();

// Moves every later reading of the report clock forward by ns, as a suspend of that length
// does: for tests of what follows a sleep.
void advanceReportClock(qint64 ns);

namespace ReportClockPlatform {
// The system's clock that counts suspend, in nanoseconds from an arbitrary origin.
qint64 nowNs();
} // namespace ReportClockPlatform

#endif // REPORTCLOCK_H

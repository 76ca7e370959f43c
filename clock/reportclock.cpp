#include "reportclock.h"

#include <atomic>

namespace {
std::atomic<qint64> advancedNs{0};
} // namespace

qint64 monotonicNowNs()
{
    return ReportClockPlatform::nowNs() + advancedNs.load(std::memory_order_relaxed);
}

void advanceReportClock(qint64 ns)
{
    advancedNs.fetch_add(ns, std::memory_order_relaxed);
}

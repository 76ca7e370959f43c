#include "threadclock.h"

#include <pthread.h>
#include <time.h>

struct ThreadClock::Thread
{
    clockid_t clock{};
    bool known = false;
};

ThreadClock::ThreadClock() : thread(std::make_unique<Thread>()) {}

ThreadClock::~ThreadClock() = default;

void ThreadClock::followCurrentThread()
{
    thread->known = pthread_getcpuclockid(pthread_self(), &thread->clock) == 0;
}

std::chrono::nanoseconds ThreadClock::used() const
{
    timespec used{};
    if (thread->known && clock_gettime(thread->clock, &used) == 0)
        return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
    return std::chrono::steady_clock::now().time_since_epoch();
}

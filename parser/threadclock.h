#ifndef THREADCLOCK_H
#define THREADCLOCK_H

#include <chrono>
#include <memory>

// The processor time of one thread, read from another: the script watchdog watches the
// evaluating thread's. Each system has its own file (threadclock_*.cpp).
class ThreadClock
{
public:
    ThreadClock();
    ~ThreadClock();

    ThreadClock(const ThreadClock &) = delete;
    ThreadClock &operator=(const ThreadClock &) = delete;

    // From now on, the clock reads the calling thread.
    void followCurrentThread();
    // Processor time used so far by that thread; where the system cannot tell, the time by
    // the steady clock.
    std::chrono::nanoseconds used() const;

private:
    struct Thread;
    std::unique_ptr<Thread> thread;
};

#endif // THREADCLOCK_H

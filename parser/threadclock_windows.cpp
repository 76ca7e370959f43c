#include "threadclock.h"

#include <cstdint>

#include <windows.h>

struct ThreadClock::Thread
{
    HANDLE handle = nullptr; // closed by the destructor
    DWORD id = 0;
};

ThreadClock::ThreadClock() : thread(std::make_unique<Thread>()) {}

ThreadClock::~ThreadClock()
{
    if (thread->handle)
        CloseHandle(thread->handle);
}

void ThreadClock::followCurrentThread()
{
    // A handle of its own: GetCurrentThread() would name the reading thread when used there.
    if (GetCurrentThreadId() == thread->id)
        return;
    if (thread->handle)
        CloseHandle(thread->handle);
    thread->id = GetCurrentThreadId();
    thread->handle = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, thread->id);
}

std::chrono::nanoseconds ThreadClock::used() const
{
    FILETIME created, exited, kernel, user;
    if (thread->handle && GetThreadTimes(thread->handle, &created, &exited, &kernel, &user)) {
        const auto ticks = [](const FILETIME &t) {
            return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
        };
        // In units of 100 ns.
        return std::chrono::nanoseconds((ticks(kernel) + ticks(user)) * 100);
    }
    return std::chrono::steady_clock::now().time_since_epoch();
}

// Which thread, in any process, holds a lock or waits on an event, and
// whether it still runs. A thread id alone can be reused once its thread is
// gone; with the thread's start time it names one thread only.
#pragma once

#include <cstdint>

namespace qoz::host {

// Thread ids never reach this (the kernel's largest pid_max).
constexpr int32_t kLargestThreadId = 4194304;

struct ThreadIdentity {
    int32_t tid = 0;
    uint64_t startTicks = 0;  // clock ticks after boot when it started
};

// The calling thread.
ThreadIdentity CurrentThread();

// Whether a thread with this id exists and has not ended (a process that
// died but was not yet reaped no longer runs).
bool ThreadRuns(int32_t tid);

// The same, for exactly that thread.
bool ThreadRuns(const ThreadIdentity& thread);

}  // namespace qoz::host

// The state of one event as it lives in memory that several processes map:
// its reset mode, whether it is signalled, and the threads waiting on it.
// A process may die at any point (holding the lock, or waiting) without
// wedging the others.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

namespace qoz::host {

// More threads than this waiting on one event at once make the extra waits fail.
constexpr int kEventWaiterSlots = 64;

// One waiting thread. The waiter holds `alive` for as long as it occupies
// the slot; because the mutex is robust, a setter that finds it owner-dead
// knows the waiter is gone, whatever became of its process.
struct EventWaiter {
    pthread_mutex_t alive;
    std::atomic<uint32_t> phase;  // futex word: free, waiting or released
    uint32_t reserved;
    uint64_t ticket;  // arrival order: the oldest waiter is released first
};

struct EventState {
    pthread_mutex_t lock;  // robust and process-shared; guards the fields below
    uint32_t manualReset;
    uint32_t signalled;
    uint64_t nextTicket;
    EventWaiter waiters[kEventWaiterSlots];
};

enum class EventAction { Set, Pulse, Reset };
enum class WaitOutcome { Signalled, TimedOut, Failed };

// Sets up memory that no process uses yet.
bool InitEventState(EventState& state, bool manualReset, bool signalled);

// Gives an event whose last user has gone the mode and state of a new one.
bool RestartEventState(EventState& state, bool manualReset, bool signalled);

bool ModifyEventState(EventState& state, EventAction action);

// A timeout of UINT32_MAX milliseconds waits for ever.
WaitOutcome WaitEventState(EventState& state, uint32_t timeoutMs);

// The number of threads, in any process, waiting on the event now.
int CountEventWaiters(EventState& state);

}  // namespace qoz::host

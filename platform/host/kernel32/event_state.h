// The state of one event as it lives in memory that several processes map:
// its reset mode, whether it is signalled, and the threads waiting on it.
// Every field is a plain number, checked before it is used, so memory that
// was damaged gives an error instead of a crash. A process may die at any
// point (holding the lock, or waiting) without wedging the others, and a
// lock that another thread keeps is waited for a bounded time only.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace qoz::host {

// More threads than this waiting on one event at once make the extra waits fail.
constexpr int kEventWaiterSlots = 64;

// How long the lock is waited for before the event counts as wedged. Every
// holder keeps it for a few instructions.
constexpr std::chrono::milliseconds kEventLockPatience{2000};

// Up to this many opens of one named event at once, in any processes.
constexpr uint32_t kEventParties = 500;

// The open of the event a thread takes part through. Whether that open still
// exists is kept by the kernel, so it is known in every process, whatever
// its PID namespace: each open of a named event keeps a lock on byte
// firstByte + slot of the event's file. Slot 0 stands for an event of this
// process and its fork children only; its threads are told apart by id.
struct EventParty {
    int fd = -1;
    uint32_t slot = 0;  // 1 to kEventParties for a named event
    static constexpr off_t firstByte = 16;
};

// One waiting thread, named by the open it waits through and its thread id
// there, so that a thread that is gone is told from a live one.
struct EventWaiter {
    std::atomic<uint32_t> phase;  // futex word: free, waiting or released
    int32_t tid;
    uint32_t party;  // the slot of its open
    uint32_t reserved;
    uint64_t ticket;  // arrival order: the oldest waiter is released first
};

struct EventState {
    // 0 when free, else the holder's party slot (bits 22 to 30) and thread
    // id (bits 0 to 21), with the top bit set while others sleep on it.
    // Guards the fields below.
    std::atomic<uint32_t> lock;
    uint32_t manualReset;  // 0 or 1
    uint32_t signalled;    // 0 or 1
    uint32_t reserved;
    uint64_t nextTicket;
    EventWaiter waiters[kEventWaiterSlots];
};

enum class EventAction { Set, Pulse, Reset };

enum class EventResult {
    Done,
    Signalled,
    TimedOut,
    Wedged,        // another thread kept the lock past the patience
    Damaged,       // a field is out of range
    NoWaiterSlot,  // too many threads wait already
};

// For each handle: since when the lock has been found taken on every try,
// so that short waits in a row add up to the patience.
struct LockWatch {
    std::atomic<int64_t> blockedSinceNs{0};  // 0: not blocked
};

// Sets up memory that no process uses.
void InitEventState(EventState& state, bool manualReset, bool signalled);

// What is out of range in the state, or null when nothing is. Call it with
// the lock held.
const char* EventStateDamage(const EventState& state);

// The lock, for callers that check or change the state as a whole.
EventResult LockEventState(EventState& state, LockWatch& watch, const EventParty& party = {});
void UnlockEventState(EventState& state);

EventResult ModifyEventState(EventState& state, EventAction action, LockWatch& watch,
                             const EventParty& party = {});

// A timeout of UINT32_MAX milliseconds waits for ever. intact tells, each
// time the waiter wakes, whether the memory may still be touched.
EventResult WaitEventState(EventState& state, uint32_t timeoutMs, LockWatch& watch,
                           const std::function<bool()>& intact, const EventParty& party = {});

// One of several events a thread waits on at once.
struct EventToWait {
    EventState* state;
    LockWatch* watch;
    EventParty party;
    std::function<bool()> intact;
};

// Waits until one of the events is signalled and takes it, as
// WaitEventState takes one: Signalled with its index in `taken`. When
// several are signalled at the first look, the first in the list is taken;
// once the thread waits, the one set first is. A release that comes for
// another at the same time is given back to its event. A wait ends early,
// TimedOut, when a quit is asked for (posix/quit_signals.h).
EventResult WaitAnyEventState(const std::vector<EventToWait>& events, uint32_t timeoutMs,
                              size_t& taken);

// The number of threads, in any process, waiting on the event now; -1 when
// the lock cannot be had.
int CountEventWaiters(EventState& state, const EventParty& party = {});

}  // namespace qoz::host

#include "platform/host/kernel32/event_state.h"

#include <errno.h>
#include <limits.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "platform/host/kernel32/thread_identity.h"

namespace qoz::host {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
static_assert(std::atomic<uint32_t>::is_always_lock_free);
static_assert(std::atomic<int64_t>::is_always_lock_free);

constexpr uint32_t kFree = 0;
constexpr uint32_t kWaiting = 1;
constexpr uint32_t kReleased = 2;

constexpr uint32_t kSleepers = 0x80000000u;

// A thread that waits for the lock looks at its holder at least this often,
// so a holder that died is replaced without delay.
constexpr milliseconds kLongestLockNap{50};

// However short the caller's own wait, the lock is waited for this long, so
// that a holder that is merely busy is not taken for one that wedged.
constexpr milliseconds kShortestLockWait{100};

// A waiter rechecks its slot at least this often, so a setter that died
// between releasing it and waking it costs a delay, not a hang.
constexpr milliseconds kLongestWaitNap{200};

uint32_t* FutexWord(std::atomic<uint32_t>& word) { return reinterpret_cast<uint32_t*>(&word); }

void FutexWait(std::atomic<uint32_t>& word, uint32_t expected, Clock::duration longest) {
    auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(longest).count();
    timespec timeout{static_cast<time_t>(nanoseconds / 1000000000),
                     static_cast<long>(nanoseconds % 1000000000)};
    syscall(SYS_futex, FutexWord(word), FUTEX_WAIT, expected, &timeout, nullptr, 0);
}

void FutexWake(std::atomic<uint32_t>& word, int count) {
    syscall(SYS_futex, FutexWord(word), FUTEX_WAKE, count, nullptr, nullptr, 0);
}

int64_t Nanoseconds(Clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

// Takes the lock by giveUp at the latest. A holder that no longer runs (a
// thread id that was never one counts as such) is replaced.
bool AcquireLock(std::atomic<uint32_t>& word, Clock::time_point giveUp) {
    const uint32_t self = static_cast<uint32_t>(CurrentThread().tid);
    uint32_t sleepers = 0;  // set once this thread has slept: others may sleep too
    for (;;) {
        uint32_t seen = 0;
        if (word.compare_exchange_strong(seen, self | sleepers)) return true;
        uint32_t holder = seen & ~kSleepers;
        if (holder == 0 || holder == self || !ThreadRuns(static_cast<int32_t>(holder))) {
            if (word.compare_exchange_strong(seen, self | (seen & kSleepers) | sleepers))
                return true;
            continue;
        }
        Clock::time_point now = Clock::now();
        if (now >= giveUp) return false;
        if ((seen & kSleepers) == 0 && !word.compare_exchange_strong(seen, seen | kSleepers))
            continue;
        sleepers = kSleepers;
        FutexWait(word, seen | kSleepers, std::min<Clock::duration>(giveUp - now, kLongestLockNap));
    }
}

void ReleaseLock(std::atomic<uint32_t>& word) {
    if (word.exchange(0) & kSleepers) FutexWake(word, INT_MAX);
}

enum class Acquired { Yes, NotBeforeDeadline, Wedged };

// Waits for the lock until the caller's deadline or until the lock has been
// found taken for the whole patience, counted across calls on the handle.
Acquired AcquireForCaller(EventState& state, LockWatch& watch, Clock::time_point deadline) {
    int64_t since = watch.blockedSinceNs.load();
    Clock::time_point blockedSince =
        since != 0 ? Clock::time_point(std::chrono::nanoseconds(since)) : Clock::now();
    Clock::time_point wedgedAt = blockedSince + kEventLockPatience;
    Clock::time_point giveUp = std::max(deadline, Clock::now() + kShortestLockWait);
    if (AcquireLock(state.lock, std::min(giveUp, wedgedAt))) {
        watch.blockedSinceNs.store(0);
        return Acquired::Yes;
    }
    if (since == 0) watch.blockedSinceNs.compare_exchange_strong(since, Nanoseconds(blockedSince));
    return Clock::now() >= wedgedAt ? Acquired::Wedged : Acquired::NotBeforeDeadline;
}

// Under the lock, a waiting or released slot whose thread is gone is freed.
bool WaiterRuns(EventWaiter& waiter) {
    if (ThreadRuns(ThreadIdentity{waiter.tid, waiter.startTicks})) return true;
    uint32_t phase = waiter.phase.load();
    if (phase != kFree) waiter.phase.compare_exchange_strong(phase, kFree);
    return false;
}

// A waiter that gives up frees its slot without the lock, so the release is
// a compare-and-swap: false when the waiter left first.
bool Release(EventWaiter& waiter) {
    uint32_t waiting = kWaiting;
    if (!waiter.phase.compare_exchange_strong(waiting, kReleased)) return false;
    FutexWake(waiter.phase, 1);
    return true;
}

// Each pass either releases a waiter or frees a slot, and no slot starts
// waiting while the lock is held, so the loop ends.
bool ReleaseOldestWaiter(EventState& state) {
    for (;;) {
        EventWaiter* oldest = nullptr;
        for (EventWaiter& waiter : state.waiters) {
            if (waiter.phase.load() == kWaiting &&
                (oldest == nullptr || waiter.ticket < oldest->ticket))
                oldest = &waiter;
        }
        if (oldest == nullptr) return false;
        if (WaiterRuns(*oldest) && Release(*oldest)) return true;
    }
}

void ReleaseAllWaiters(EventState& state) {
    for (EventWaiter& waiter : state.waiters) {
        if (waiter.phase.load() == kWaiting && WaiterRuns(waiter)) Release(waiter);
    }
}

EventWaiter* TakeFreeSlot(EventState& state) {
    for (EventWaiter& waiter : state.waiters) {
        if (waiter.phase.load() == kFree || !WaiterRuns(waiter)) return &waiter;
    }
    return nullptr;
}

EventResult LockResult(Acquired acquired) {
    return acquired == Acquired::Wedged ? EventResult::Wedged : EventResult::TimedOut;
}

}  // namespace

void InitEventState(EventState& state, bool manualReset, bool signalled) {
    state.lock.store(0);
    state.manualReset = manualReset ? 1 : 0;
    state.signalled = signalled ? 1 : 0;
    state.reserved = 0;
    state.nextTicket = 0;
    for (EventWaiter& waiter : state.waiters) {
        waiter.phase.store(kFree);
        waiter.tid = 0;
        waiter.startTicks = 0;
        waiter.ticket = 0;
    }
}

const char* EventStateDamage(const EventState& state) {
    if (state.manualReset > 1) return "its reset mode is out of range";
    if (state.signalled > 1) return "its signal state is out of range";
    for (const EventWaiter& waiter : state.waiters) {
        uint32_t phase = waiter.phase.load();
        if (phase > kReleased) return "a waiter's state is out of range";
        if (phase == kFree) continue;
        if (waiter.tid <= 0 || waiter.tid > kLargestThreadId)
            return "a waiter's thread id is out of range";
        if (waiter.ticket >= state.nextTicket) return "a waiter's place in line is out of range";
    }
    return nullptr;
}

EventResult LockEventState(EventState& state, LockWatch& watch) {
    Acquired acquired = AcquireForCaller(state, watch, Clock::time_point::max());
    return acquired == Acquired::Yes ? EventResult::Done : LockResult(acquired);
}

void UnlockEventState(EventState& state) { ReleaseLock(state.lock); }

EventResult ModifyEventState(EventState& state, EventAction action, LockWatch& watch) {
    if (EventResult locked = LockEventState(state, watch); locked != EventResult::Done)
        return locked;
    if (EventStateDamage(state) != nullptr) {
        UnlockEventState(state);
        return EventResult::Damaged;
    }
    switch (action) {
        case EventAction::Set:
            if (state.manualReset) {
                state.signalled = 1;
                ReleaseAllWaiters(state);
            } else if (!ReleaseOldestWaiter(state)) {
                state.signalled = 1;
            }
            break;
        case EventAction::Pulse:
            if (state.manualReset) {
                ReleaseAllWaiters(state);
            } else {
                ReleaseOldestWaiter(state);
            }
            state.signalled = 0;
            break;
        case EventAction::Reset:
            state.signalled = 0;
            break;
    }
    UnlockEventState(state);
    return EventResult::Done;
}

EventResult WaitEventState(EventState& state, uint32_t timeoutMs, LockWatch& watch,
                           const std::function<bool()>& intact) {
    const bool forever = timeoutMs == UINT32_MAX;
    const Clock::time_point deadline =
        forever ? Clock::time_point::max() : Clock::now() + milliseconds(timeoutMs);

    Acquired acquired = AcquireForCaller(state, watch, deadline);
    if (acquired != Acquired::Yes) return LockResult(acquired);
    if (EventStateDamage(state) != nullptr) {
        UnlockEventState(state);
        return EventResult::Damaged;
    }
    if (state.signalled) {
        if (!state.manualReset) state.signalled = 0;
        UnlockEventState(state);
        return EventResult::Signalled;
    }
    EventWaiter* slot = timeoutMs == 0 ? nullptr : TakeFreeSlot(state);
    if (slot == nullptr) {
        UnlockEventState(state);
        return timeoutMs == 0 ? EventResult::TimedOut : EventResult::NoWaiterSlot;
    }
    ThreadIdentity self = CurrentThread();
    slot->tid = self.tid;
    slot->startTicks = self.startTicks;
    slot->ticket = state.nextTicket++;
    slot->phase.store(kWaiting);
    UnlockEventState(state);

    while (slot->phase.load() == kWaiting) {
        Clock::duration nap = kLongestWaitNap;
        if (!forever) {
            Clock::time_point now = Clock::now();
            if (now >= deadline) break;
            nap = std::min<Clock::duration>(nap, deadline - now);
        }
        FutexWait(slot->phase, kWaiting, nap);
        if (!intact()) return EventResult::Damaged;
    }
    // A release that comes while the wait is timing out still counts: the
    // setter has already taken the signal off the event for this waiter.
    switch (slot->phase.exchange(kFree)) {
        case kReleased:
            return EventResult::Signalled;
        case kWaiting:
            return EventResult::TimedOut;
        default:
            return EventResult::Damaged;
    }
}

int CountEventWaiters(EventState& state) {
    LockWatch watch;
    if (LockEventState(state, watch) != EventResult::Done) return -1;
    int count = 0;
    for (EventWaiter& waiter : state.waiters) {
        if (waiter.phase.load() == kWaiting && WaiterRuns(waiter)) ++count;
    }
    UnlockEventState(state);
    return count;
}

}  // namespace qoz::host

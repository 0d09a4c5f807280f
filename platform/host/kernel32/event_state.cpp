#include "platform/host/kernel32/event_state.h"

#include <errno.h>
#include <limits.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "platform/host/kernel32/thread_identity.h"
#include "platform/host/posix/patient_lock.h"
#include "platform/host/posix/quit_signals.h"

namespace qoz::host {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace std::chrono_literals;

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
static_assert(std::atomic<uint32_t>::is_always_lock_free);
static_assert(std::atomic<int64_t>::is_always_lock_free);

constexpr uint32_t kFree = 0;
constexpr uint32_t kWaiting = 1;
constexpr uint32_t kReleased = 2;

constexpr uint32_t kSleepers = 0x80000000u;
constexpr int kPartyShift = 22;
constexpr uint32_t kThreadBits = (1u << kPartyShift) - 1;
static_assert(kEventParties < (kSleepers >> kPartyShift));
static_assert(kLargestThreadId <= int32_t(kThreadBits) + 1);

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

// Whether the thread tid of the open in slot still runs. Threads of this
// process's own open (or of an event without a file) are looked up by id;
// another open's lives as long as the kernel keeps its lock on the open's
// byte. An open beside a caller without a file is taken to live.
bool PartyRuns(uint32_t slot, int32_t tid, const EventParty& self) {
    if (slot == 0 || slot == self.slot) return ThreadRuns(tid);
    if (slot > kEventParties) return false;
    if (self.fd < 0) return true;
    return ByteLockedByOthers(self.fd, EventParty::firstByte + slot);
}

uint32_t LockWord(const EventParty& party) {
    return party.slot << kPartyShift | (static_cast<uint32_t>(CurrentThread().tid) & kThreadBits);
}

bool HolderRuns(uint32_t holder, const EventParty& self) {
    return PartyRuns(holder >> kPartyShift, static_cast<int32_t>(holder & kThreadBits), self);
}

// Takes the lock by giveUp at the latest. A holder that no longer runs (a
// thread id that was never one counts as such) is replaced.
bool AcquireLock(std::atomic<uint32_t>& word, Clock::time_point giveUp, const EventParty& party) {
    const uint32_t self = LockWord(party);
    uint32_t sleepers = 0;  // set once this thread has slept: others may sleep too
    for (;;) {
        uint32_t seen = 0;
        if (word.compare_exchange_strong(seen, self | sleepers)) return true;
        uint32_t holder = seen & ~kSleepers;
        if (holder == 0 || holder == self || !HolderRuns(holder, party)) {
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
Acquired AcquireForCaller(EventState& state, LockWatch& watch, Clock::time_point deadline,
                          const EventParty& party) {
    int64_t since = watch.blockedSinceNs.load();
    Clock::time_point blockedSince =
        since != 0 ? Clock::time_point(std::chrono::nanoseconds(since)) : Clock::now();
    Clock::time_point wedgedAt = blockedSince + kEventLockPatience;
    Clock::time_point giveUp = std::max(deadline, Clock::now() + kShortestLockWait);
    if (AcquireLock(state.lock, std::min(giveUp, wedgedAt), party)) {
        watch.blockedSinceNs.store(0);
        return Acquired::Yes;
    }
    if (since == 0) watch.blockedSinceNs.compare_exchange_strong(since, Nanoseconds(blockedSince));
    return Clock::now() >= wedgedAt ? Acquired::Wedged : Acquired::NotBeforeDeadline;
}

// Under the lock, a waiting or released slot whose thread is gone is freed.
bool WaiterRuns(EventWaiter& waiter, const EventParty& party) {
    if (PartyRuns(waiter.party, waiter.tid, party)) return true;
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
bool ReleaseOldestWaiter(EventState& state, const EventParty& party) {
    for (;;) {
        EventWaiter* oldest = nullptr;
        for (EventWaiter& waiter : state.waiters) {
            if (waiter.phase.load() == kWaiting &&
                (oldest == nullptr || waiter.ticket < oldest->ticket))
                oldest = &waiter;
        }
        if (oldest == nullptr) return false;
        if (WaiterRuns(*oldest, party) && Release(*oldest)) return true;
    }
}

void ReleaseAllWaiters(EventState& state, const EventParty& party) {
    for (EventWaiter& waiter : state.waiters) {
        if (waiter.phase.load() == kWaiting && WaiterRuns(waiter, party)) Release(waiter);
    }
}

EventWaiter* TakeFreeSlot(EventState& state, const EventParty& party) {
    for (EventWaiter& waiter : state.waiters) {
        if (waiter.phase.load() == kFree || !WaiterRuns(waiter, party)) return &waiter;
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
        waiter.party = 0;
        waiter.reserved = 0;
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
        if (waiter.party > kEventParties) return "a waiter's open is out of range";
        if (waiter.ticket >= state.nextTicket) return "a waiter's place in line is out of range";
    }
    return nullptr;
}

EventResult LockEventState(EventState& state, LockWatch& watch, const EventParty& party) {
    Acquired acquired = AcquireForCaller(state, watch, Clock::time_point::max(), party);
    return acquired == Acquired::Yes ? EventResult::Done : LockResult(acquired);
}

void UnlockEventState(EventState& state) { ReleaseLock(state.lock); }

EventResult ModifyEventState(EventState& state, EventAction action, LockWatch& watch,
                             const EventParty& party) {
    if (EventResult locked = LockEventState(state, watch, party); locked != EventResult::Done)
        return locked;
    if (EventStateDamage(state) != nullptr) {
        UnlockEventState(state);
        return EventResult::Damaged;
    }
    switch (action) {
        case EventAction::Set:
            if (state.manualReset) {
                state.signalled = 1;
                ReleaseAllWaiters(state, party);
            } else if (!ReleaseOldestWaiter(state, party)) {
                state.signalled = 1;
            }
            break;
        case EventAction::Pulse:
            if (state.manualReset) {
                ReleaseAllWaiters(state, party);
            } else {
                ReleaseOldestWaiter(state, party);
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

namespace {

// Takes the event's signal, or enlists the thread as a waiter in `slot`
// (Done) when it may wait; TimedOut when it may not, or the lock did not come
// before the deadline.
EventResult Enlist(const EventToWait& event, Clock::time_point deadline, bool mayWait,
                   EventWaiter*& slot) {
    EventState& state = *event.state;
    Acquired acquired = AcquireForCaller(state, *event.watch, deadline, event.party);
    if (acquired != Acquired::Yes) return LockResult(acquired);
    EventResult result = EventResult::Done;
    if (EventStateDamage(state) != nullptr) {
        result = EventResult::Damaged;
    } else if (state.signalled) {
        if (!state.manualReset) state.signalled = 0;
        result = EventResult::Signalled;
    } else if (!mayWait) {
        result = EventResult::TimedOut;
    } else if ((slot = TakeFreeSlot(state, event.party)) == nullptr) {
        result = EventResult::NoWaiterSlot;
    } else {
        slot->tid = CurrentThread().tid;
        slot->party = event.party.slot;
        slot->ticket = state.nextTicket++;
        slot->phase.store(kWaiting);
    }
    UnlockEventState(state);
    return result;
}

// Frees the slot. A release that came while the wait was ending still
// counts: the setter has already taken the signal off the event for it.
EventResult Leave(EventWaiter& slot) {
    switch (slot.phase.exchange(kFree)) {
        case kReleased:
            return EventResult::Signalled;
        case kWaiting:
            return EventResult::TimedOut;
        default:
            return EventResult::Damaged;
    }
}

// A signal taken for a thread that takes another event goes back to its own.
void GiveBack(const EventToWait& event) {
    if (!event.state->manualReset)
        ModifyEventState(*event.state, EventAction::Set, *event.watch, event.party);
}

// Leaves every slot; the first released one is taken (its index in `taken`),
// and the signal of any other is given back to its event.
EventResult LeaveAll(const std::vector<EventToWait>& events,
                     const std::vector<EventWaiter*>& slots, size_t& taken) {
    EventResult result = EventResult::TimedOut;
    for (size_t i = 0; i < slots.size(); ++i) {
        if (Leave(*slots[i]) != EventResult::Signalled) continue;
        if (result != EventResult::Signalled) {
            result = EventResult::Signalled;
            taken = i;
        } else {
            GiveBack(events[i]);
        }
    }
    return result;
}

// Sleeps until one of the slots is released, or for `longest` at most.
void FutexWaitAny(const std::vector<EventWaiter*>& slots, Clock::duration longest) {
    std::vector<futex_waitv> words(slots.size());
    for (size_t i = 0; i < slots.size(); ++i)
        words[i] = {kWaiting, reinterpret_cast<uintptr_t>(FutexWord(slots[i]->phase)), FUTEX_32, 0};
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(longest).count();
    nanoseconds += until.tv_nsec;
    until.tv_sec += static_cast<time_t>(nanoseconds / 1000000000);
    until.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
    if (syscall(SYS_futex_waitv, words.data(), words.size(), 0, &until, CLOCK_MONOTONIC) < 0 &&
        errno == ENOSYS)  // before Linux 5.16: the first slot, briefly
        FutexWait(slots.front()->phase, kWaiting, std::min<Clock::duration>(longest, 10ms));
}

}  // namespace

EventResult WaitEventState(EventState& state, uint32_t timeoutMs, LockWatch& watch,
                           const std::function<bool()>& intact, const EventParty& party) {
    size_t taken = 0;
    return WaitAnyEventState({{&state, &watch, party, intact}}, timeoutMs, taken);
}

EventResult WaitAnyEventState(const std::vector<EventToWait>& events, uint32_t timeoutMs,
                              size_t& taken) {
    const bool forever = timeoutMs == UINT32_MAX;
    const Clock::time_point deadline =
        forever ? Clock::time_point::max() : Clock::now() + milliseconds(timeoutMs);
    std::vector<EventWaiter*> slots;
    for (size_t i = 0; i < events.size(); ++i) {
        EventWaiter* slot = nullptr;
        EventResult entered = Enlist(events[i], deadline, timeoutMs != 0, slot);
        if (entered == EventResult::Done) slots.push_back(slot);
        if (entered == EventResult::Done || (entered == EventResult::TimedOut && timeoutMs == 0))
            continue;
        // Taken at once, or failed: an earlier event released meanwhile
        // comes first, and this one's signal goes back.
        if (LeaveAll(events, slots, taken) != EventResult::Signalled) {
            taken = i;
            return entered;
        }
        if (entered == EventResult::Signalled) GiveBack(events[i]);
        return EventResult::Signalled;
    }
    while (std::none_of(slots.begin(), slots.end(),
                        [](EventWaiter* slot) { return slot->phase.load() != kWaiting; }) &&
           !QuitRequested()) {
        Clock::duration nap = kLongestWaitNap;
        if (!forever) {
            Clock::time_point now = Clock::now();
            if (now >= deadline) break;
            nap = std::min<Clock::duration>(nap, deadline - now);
        }
        FutexWaitAny(slots, nap);
        for (size_t i = 0; i < events.size(); ++i) {
            if (events[i].intact()) continue;
            // That memory may not be touched again; the others are left.
            for (size_t j = 0; j < events.size(); ++j) {
                if (j != i && events[j].intact() && Leave(*slots[j]) == EventResult::Signalled)
                    GiveBack(events[j]);
            }
            taken = i;
            return EventResult::Damaged;
        }
    }
    if (slots.empty()) return EventResult::TimedOut;
    return LeaveAll(events, slots, taken);
}

int CountEventWaiters(EventState& state, const EventParty& party) {
    LockWatch watch;
    if (LockEventState(state, watch, party) != EventResult::Done) return -1;
    int count = 0;
    for (EventWaiter& waiter : state.waiters) {
        if (waiter.phase.load() == kWaiting && WaiterRuns(waiter, party)) ++count;
    }
    UnlockEventState(state);
    return count;
}

}  // namespace qoz::host

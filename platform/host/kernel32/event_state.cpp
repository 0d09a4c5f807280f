#include "platform/host/kernel32/event_state.h"

#include <errno.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>

namespace qoz::host {

namespace {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
static_assert(std::atomic<uint32_t>::is_always_lock_free);

constexpr uint32_t kFree = 0;
constexpr uint32_t kWaiting = 1;
constexpr uint32_t kReleased = 2;

// A waiter rechecks its slot at least this often, so a setter that died
// between releasing it and waking it costs a delay, not a hang.
constexpr uint32_t kLongestSleepMs = 200;

bool InitRobustMutex(pthread_mutex_t& mutex) {
    pthread_mutexattr_t attributes;
    if (pthread_mutexattr_init(&attributes) != 0) return false;
    bool ready = pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED) == 0 &&
                 pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST) == 0 &&
                 pthread_mutex_init(&mutex, &attributes) == 0;
    pthread_mutexattr_destroy(&attributes);
    return ready;
}

// Each step of an operation leaves a state the others can go on from, so
// the lock of an owner that died is simply taken over.
bool LockState(EventState& state) {
    int result = pthread_mutex_lock(&state.lock);
    if (result == EOWNERDEAD) result = pthread_mutex_consistent(&state.lock);
    return result == 0;
}

void UnlockState(EventState& state) { pthread_mutex_unlock(&state.lock); }

uint32_t* FutexWord(std::atomic<uint32_t>& word) { return reinterpret_cast<uint32_t*>(&word); }

void FutexWait(std::atomic<uint32_t>& word, uint32_t expected, uint32_t milliseconds) {
    timespec timeout{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
    syscall(SYS_futex, FutexWord(word), FUTEX_WAIT, expected, &timeout, nullptr, 0);
}

void FutexWake(std::atomic<uint32_t>& word) {
    syscall(SYS_futex, FutexWord(word), FUTEX_WAKE, 1, nullptr, nullptr, 0);
}

// Under the state lock: claims the slot's mutex for the calling thread.
bool ClaimSlot(EventWaiter& waiter) {
    int result = pthread_mutex_trylock(&waiter.alive);
    if (result == EOWNERDEAD) result = pthread_mutex_consistent(&waiter.alive);
    return result == 0;
}

// Under the state lock: whether the thread in an occupied slot still
// exists. The slot of one that does not is freed.
bool WaiterIsAlive(EventWaiter& waiter) {
    int result = pthread_mutex_trylock(&waiter.alive);
    if (result == EBUSY) return true;
    if (result == EOWNERDEAD) result = pthread_mutex_consistent(&waiter.alive);
    if (result == 0) pthread_mutex_unlock(&waiter.alive);
    waiter.phase.store(kFree);
    return false;
}

void Release(EventWaiter& waiter) {
    waiter.phase.store(kReleased);
    FutexWake(waiter.phase);
}

bool ReleaseOldestWaiter(EventState& state) {
    for (;;) {
        EventWaiter* oldest = nullptr;
        for (EventWaiter& waiter : state.waiters) {
            if (waiter.phase.load() == kWaiting &&
                (oldest == nullptr || waiter.ticket < oldest->ticket))
                oldest = &waiter;
        }
        if (oldest == nullptr) return false;
        if (WaiterIsAlive(*oldest)) {
            Release(*oldest);
            return true;
        }
    }
}

void ReleaseAllWaiters(EventState& state) {
    for (EventWaiter& waiter : state.waiters) {
        if (waiter.phase.load() == kWaiting && WaiterIsAlive(waiter)) Release(waiter);
    }
}

EventWaiter* TakeFreeSlot(EventState& state) {
    for (EventWaiter& waiter : state.waiters) {
        if (waiter.phase.load() != kFree && WaiterIsAlive(waiter)) continue;
        if (ClaimSlot(waiter)) return &waiter;
    }
    return nullptr;
}

}  // namespace

bool InitEventState(EventState& state, bool manualReset, bool signalled) {
    if (!InitRobustMutex(state.lock)) return false;
    for (EventWaiter& waiter : state.waiters) {
        if (!InitRobustMutex(waiter.alive)) return false;
        waiter.phase.store(kFree);
        waiter.ticket = 0;
    }
    state.manualReset = manualReset ? 1 : 0;
    state.signalled = signalled ? 1 : 0;
    state.nextTicket = 0;
    return true;
}

bool RestartEventState(EventState& state, bool manualReset, bool signalled) {
    if (!LockState(state)) return false;
    state.manualReset = manualReset ? 1 : 0;
    state.signalled = signalled ? 1 : 0;
    UnlockState(state);
    return true;
}

bool ModifyEventState(EventState& state, EventAction action) {
    if (!LockState(state)) return false;
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
    UnlockState(state);
    return true;
}

WaitOutcome WaitEventState(EventState& state, uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const bool forever = timeoutMs == UINT32_MAX;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);

    if (!LockState(state)) return WaitOutcome::Failed;
    if (state.signalled) {
        if (!state.manualReset) state.signalled = 0;
        UnlockState(state);
        return WaitOutcome::Signalled;
    }
    EventWaiter* slot = timeoutMs == 0 ? nullptr : TakeFreeSlot(state);
    if (slot == nullptr) {
        UnlockState(state);
        return timeoutMs == 0 ? WaitOutcome::TimedOut : WaitOutcome::Failed;
    }
    slot->ticket = state.nextTicket++;
    slot->phase.store(kWaiting);
    UnlockState(state);

    while (slot->phase.load() == kWaiting) {
        uint32_t sleepMs = kLongestSleepMs;
        if (!forever) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            if (left.count() < static_cast<long long>(sleepMs))
                sleepMs = static_cast<uint32_t>(left.count());
        }
        FutexWait(slot->phase, kWaiting, sleepMs);
    }

    // A release that comes while the wait is timing out still counts: the
    // setter has already taken the signal off the event for this waiter.
    bool locked = LockState(state);
    WaitOutcome outcome =
        slot->phase.load() == kReleased ? WaitOutcome::Signalled : WaitOutcome::TimedOut;
    slot->phase.store(kFree);
    pthread_mutex_unlock(&slot->alive);
    if (locked) UnlockState(state);
    return outcome;
}

int CountEventWaiters(EventState& state) {
    if (!LockState(state)) return 0;
    int count = 0;
    for (EventWaiter& waiter : state.waiters) {
        if (waiter.phase.load() == kWaiting && WaiterIsAlive(waiter)) ++count;
    }
    UnlockState(state);
    return count;
}

}  // namespace qoz::host

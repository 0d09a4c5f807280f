#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/kernel32/named_event.h"
#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/event_files.h"
#include "tests/support/scratch_environment.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kPatience = 5s;

HANDLE OpenEvent(const char16_t* name, BOOL manualReset = FALSE, BOOL initialState = FALSE) {
    return CreateEventW(nullptr, manualReset, initialState, name);
}

bool AwaitWaiters(const char16_t* name, int count) {
    return Eventually([&] { return WaitersOn(name) == count; });
}

// Waits for a child to end without reaping it: a killed process that is
// still a zombie must already count as gone.
void AwaitDeath(const ChildProcess& child) {
    ASSERT_TRUE(Eventually([&] { return ChildEnded(child); }));
}

ChildProcess StartForked(std::function<int()> function) {
    return StartChild({.function = std::move(function)});
}

// A child process that opens the event and waits on it, exiting 0 when
// released and 1 when the wait times out.
ChildProcess SpawnWaiter(const char16_t* name, DWORD timeoutMs) {
    return StartForked(
        [=] { return WaitForSingleObject(OpenEvent(name), timeoutMs) == WAIT_OBJECT_0 ? 0 : 1; });
}

// Threads that each wait once on the event, counting those it released.
struct WaitingThreads {
    WaitingThreads(HANDLE event, int count, DWORD timeoutMs) {
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([=, this] {
                if (WaitForSingleObject(event, timeoutMs) == WAIT_OBJECT_0) ++released;
            });
        }
    }
    int Join() {
        for (std::thread& thread : threads) thread.join();
        return released;
    }
    std::atomic<int> released{0};
    std::vector<std::thread> threads;
};

class NamedEvent : public ::testing::Test {
protected:
    void SetUp() override { alarm(60); }  // a wedged event fails the run instead of hanging it
    void TearDown() override { alarm(0); }
    ScratchEnvironment scratch;
};

// ---- Automatic reset ---------------------------------------------------------

TEST_F(NamedEvent, AutoResetSignalWithNobodyWaitingIsConsumedByTheNextWait) {
    HANDLE event = OpenEvent(u"CALENDEVENT");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(SetEvent(event));  // sets do not add up
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    HANDLE signalled = OpenEvent(u"S", FALSE, TRUE);
    EXPECT_EQ(WaitForSingleObject(signalled, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(signalled, 0), WAIT_TIMEOUT);
    CloseHandle(signalled);
    CloseHandle(event);
}

// ---- Any one of several -------------------------------------------------------

TEST_F(NamedEvent, AWaitOnSeveralTakesTheOneSetAndLeavesTheOthersSignal) {
    HANDLE events[] = {OpenEvent(u"CALSTARTEVENT"), OpenEvent(u"CALENDEVENT")};
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    SetEvent(events[1]);
    SetEvent(events[0]);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0);  // the first listed
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SetEvent(events[1]);
    });
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 10000), WAIT_OBJECT_0 + 1);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_TIMEOUT) << "the other wait was left";
    EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_FAILED) << "all at once";
    for (HANDLE event : events) CloseHandle(event);
}

TEST_F(NamedEvent, NoSetIsLostOrTakenTwiceWhileShortWaitsTimeOutAroundIt) {
    // A thread waits again and again for 1 ms; the sets land at every moment
    // of its waits, also just as one times out. Each set is taken by exactly
    // one wait, whether it found the thread waiting or not.
    constexpr int kSets = 2000;
    HANDLE event = OpenEvent(u"E");
    std::atomic<int> taken{0};
    std::atomic<bool> stop{false};
    std::thread waiter([&] {
        while (!stop)
            if (WaitForSingleObject(event, 1) == WAIT_OBJECT_0) ++taken;
    });
    for (int set = 0; set < kSets; ++set) {
        ASSERT_TRUE(SetEvent(event));
        bool tookIt = Eventually([&] { return taken.load() == set + 1; });
        if (!tookIt) {
            stop = true;
            waiter.join();
        }
        ASSERT_TRUE(tookIt) << "set " << set << ": " << taken.load() << " taken";
        std::this_thread::sleep_for(std::chrono::microseconds(set * 37 % 1100));
    }
    stop = true;
    waiter.join();
    EXPECT_EQ(taken.load(), kSets);
    CloseHandle(event);
}

TEST_F(NamedEvent, AWaitTimesOutAfterItsTimeout) {
    HANDLE event = OpenEvent(u"E");
    auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 150), WAIT_TIMEOUT);
    auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 150ms);
    EXPECT_LT(elapsed, 3s);
    CloseHandle(event);
}

TEST_F(NamedEvent, ASetReleasesAThreadInATimedWait) {
    HANDLE event = OpenEvent(u"E");
    std::atomic<DWORD> result{WAIT_FAILED};
    auto start = Clock::now();
    std::thread waiter([&] { result = WaitForSingleObject(event, 20000); });
    ASSERT_TRUE(AwaitWaiters(u"E", 1));
    EXPECT_TRUE(SetEvent(event));
    waiter.join();
    EXPECT_EQ(result.load(), WAIT_OBJECT_0);
    EXPECT_LT(Clock::now() - start, 10s);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // the waiter took the signal
    CloseHandle(event);
}

TEST_F(NamedEvent, AutoResetSetReleasesExactlyOneOfTwoWaitingProcesses) {
    HANDLE event = OpenEvent(u"CALSTARTEVENT");
    ChildProcess first = SpawnWaiter(u"CALSTARTEVENT", 20000);
    ChildProcess second = SpawnWaiter(u"CALSTARTEVENT", 20000);
    ASSERT_TRUE(AwaitWaiters(u"CALSTARTEVENT", 2));
    SetEvent(event);

    ASSERT_TRUE(Eventually([&] { return ChildEnded(first) || ChildEnded(second); }));
    ChildProcess& woken = ChildEnded(first) ? first : second;
    ChildProcess& other = ChildEnded(first) ? second : first;
    EXPECT_EQ(WaitChild(woken, kPatience), 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(ChildEnded(other)) << "the second waiter was released too";

    SetEvent(event);
    EXPECT_EQ(WaitChild(other, kPatience), 0);
    CloseHandle(event);
}

// ---- Manual reset --------------------------------------------------------------

TEST_F(NamedEvent, ManualResetStaysSignalledUntilReset) {
    HANDLE event = OpenEvent(u"M", TRUE, FALSE);
    SetEvent(event);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST_F(NamedEvent, ManualResetSetReleasesEveryWaiter) {
    HANDLE event = OpenEvent(u"M", TRUE, FALSE);
    WaitingThreads waiters(event, 3, 20000);
    ASSERT_TRUE(AwaitWaiters(u"M", 3));
    SetEvent(event);
    EXPECT_EQ(waiters.Join(), 3);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
}

// ---- Pulse -----------------------------------------------------------------------

TEST_F(NamedEvent, PulseWithNobodyWaitingLeavesTheEventReset) {
    HANDLE automatic = OpenEvent(u"A");
    HANDLE manual = OpenEvent(u"M", TRUE, TRUE);
    EXPECT_TRUE(PulseEvent(automatic));
    EXPECT_TRUE(PulseEvent(manual));
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    CloseHandle(automatic);
    CloseHandle(manual);
}

TEST_F(NamedEvent, ManualResetPulseReleasesThePresentWaitersAndResets) {
    HANDLE event = OpenEvent(u"M", TRUE, FALSE);
    WaitingThreads waiters(event, 2, 20000);
    ASSERT_TRUE(AwaitWaiters(u"M", 2));
    PulseEvent(event);
    EXPECT_EQ(waiters.Join(), 2);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST_F(NamedEvent, AutoResetPulseReleasesOneWaiterAndKeepsNothingPending) {
    HANDLE event = OpenEvent(u"A");
    WaitingThreads waiters(event, 2, INFINITE);
    ASSERT_TRUE(AwaitWaiters(u"A", 2));
    PulseEvent(event);
    ASSERT_TRUE(Eventually([&] { return waiters.released == 1; }));
    EXPECT_TRUE(AwaitWaiters(u"A", 1));
    EXPECT_EQ(waiters.released.load(), 1);
    SetEvent(event);
    EXPECT_EQ(waiters.Join(), 2);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

// ---- Processes that die ---------------------------------------------------------

TEST_F(NamedEvent, AWaiterKilledWhileWaitingDoesNotSwallowTheNextSet) {
    HANDLE event = OpenEvent(u"E");
    ChildProcess child = SpawnWaiter(u"E", INFINITE);
    ASSERT_TRUE(AwaitWaiters(u"E", 1));
    kill(child.pid, SIGKILL);
    AwaitDeath(child);

    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 2000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitersOn(u"E"), 0);
    EXPECT_TRUE(StopChild(child)) << "it died of the kill";
    CloseHandle(event);
}

TEST_F(NamedEvent, AProcessKilledHoldingTheLockDoesNotWedgeTheOthers) {
    HANDLE event = OpenEvent(u"E");
    StayingChild holder([] {
        qoz::host::EventOpening opening = qoz::host::OpenNamedEvent(u"E", false, false);
        qoz::host::LockWatch watch;
        qoz::host::LockEventState(*opening.mapping.state, watch);
        return true;
    });
    ASSERT_TRUE(holder.acted());
    kill(holder.process().pid, SIGKILL);
    AwaitDeath(holder.process());

    std::atomic<DWORD> result{WAIT_FAILED};
    std::thread waiter([&] { result = WaitForSingleObject(event, 20000); });
    ASSERT_TRUE(AwaitWaiters(u"E", 1));
    EXPECT_TRUE(SetEvent(event));
    waiter.join();
    EXPECT_EQ(result.load(), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST_F(NamedEvent, ACreatorThatDiedHalfWayLeavesAnObjectTheNextCreatorMakesAnew) {
    std::string path = EventFile(u"E");
    ChildProcess child = StartForked([&] {
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd < 0 || ftruncate(fd, 4096) != 0 || write(fd, "half", 4) != 4) return 2;
        raise(SIGKILL);
        return 0;
    });
    AwaitDeath(child);
    StopChild(child);

    HANDLE event = OpenEvent(u"E", TRUE, TRUE);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
}

// ---- Lifetime ------------------------------------------------------------------------

TEST_F(NamedEvent, OpeningAnExistingEventKeepsItsModeAndState) {
    HANDLE first = OpenEvent(u"E");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = OpenEvent(u"E", TRUE, TRUE);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first, second);

    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);
    SetEvent(second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);

    SetEvent(first);
    CloseHandle(first);  // the other handle keeps the event alive
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    CloseHandle(second);
}

TEST_F(NamedEvent, ClosingTheLastHandleMakesTheNextCreatorGetAFreshEvent) {
    HANDLE event = OpenEvent(u"E");
    SetEvent(event);
    CloseHandle(event);

    event = OpenEvent(u"E");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);

    event = OpenEvent(u"E", TRUE, TRUE);  // the new creator's mode and state count
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST_F(NamedEvent, AProcessThatEndedWithoutClosingNoLongerKeepsTheEvent) {
    int toChild[2];
    int toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    ChildProcess child = StartForked([&] {
        OpenEvent(u"E", TRUE, TRUE);
        char byte = 1;
        if (write(toParent[1], &byte, 1) != 1) return 2;
        if (read(toChild[0], &byte, 1) != 1) return 2;
        return 0;  // ends without closing its handle
    });
    char byte = 0;
    ASSERT_EQ(read(toParent[0], &byte, 1), 1);
    HANDLE event = OpenEvent(u"E");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);

    ASSERT_EQ(write(toChild[1], &byte, 1), 1);
    EXPECT_EQ(WaitChild(child, kPatience), 0);
    event = OpenEvent(u"E");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
}

TEST_F(NamedEvent, AForkChildUsesAnInheritedHandleWithoutBecomingAnOpener) {
    HANDLE event = OpenEvent(u"E");
    ChildProcess child = StartForked([&] { return SetEvent(event) && CloseHandle(event) ? 0 : 1; });
    EXPECT_EQ(WaitChild(child, kPatience), 0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    HANDLE again = OpenEvent(u"E");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(again);
    CloseHandle(event);
}

TEST_F(NamedEvent, UnnamedEventsArePrivate) {
    HANDLE first = OpenEvent(nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = OpenEvent(u"");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    CloseHandle(first);
    CloseHandle(second);
}

// ---- Names ----------------------------------------------------------------------------

TEST_F(NamedEvent, NamesAreTakenExactlyWhateverTheirCharacters) {
    HANDLE slash = OpenEvent(u"a/b");
    ASSERT_NE(slash, nullptr);
    SetEvent(slash);
    // Texts that resemble the encoding of "a/b", and other spellings.
    for (const char16_t* other : {u"a%002Fb", u"a_b", u"a.b", u"A/B", u"a/b "}) {
        HANDLE event = OpenEvent(other);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
        CloseHandle(event);
    }
    HANDLE same = OpenEvent(u"a/b");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(same, 0), WAIT_OBJECT_0);
    CloseHandle(same);
    CloseHandle(slash);

    std::u16string any = u"펜입력 \\ / . % \t \U0001F600 ";
    any += char16_t(0xD800);  // an unpaired surrogate
    HANDLE first = OpenEvent(any.c_str());
    ASSERT_NE(first, nullptr);
    HANDLE second = OpenEvent(any.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(second);
    CloseHandle(first);
}

TEST_F(NamedEvent, TheNamespaceSeparatesEventsOfTheSameName) {
    HANDLE event = OpenEvent(u"E");
    SetEvent(event);
    std::string space = std::string(getenv("QOZCAL_EVENT_NAMESPACE")) + "/other";
    setenv("QOZCAL_EVENT_NAMESPACE", space.c_str(), 1);
    HANDLE elsewhere = OpenEvent(u"E");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(elsewhere, 0), WAIT_TIMEOUT);
    CloseHandle(elsewhere);
    CloseHandle(event);
}

TEST_F(NamedEvent, NamesThatAreTooLongAreRefused) {
    for (const std::u16string& name :
         {std::u16string(261, u'A'), std::u16string(260, u'A'), std::u16string(100, u'한')}) {
        SetLastError(0);
        EXPECT_EQ(OpenEvent(name.c_str()), nullptr) << name.size();
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    }
    for (const std::u16string& name : {std::u16string(180, u'A'), std::u16string(50, u'한')}) {
        HANDLE event = OpenEvent(name.c_str());
        EXPECT_NE(event, nullptr) << name.size();
        CloseHandle(event);
    }
}

// ---- Bad handles ---------------------------------------------------------------------

TEST_F(NamedEvent, NullClosedAndForeignHandlesFail) {
    HANDLE closed = OpenEvent(u"E");
    EXPECT_TRUE(CloseHandle(closed));
    int notAnEvent = 0;
    for (HANDLE handle : {static_cast<HANDLE>(nullptr), closed, static_cast<HANDLE>(&notAnEvent)}) {
        SetLastError(0);
        EXPECT_FALSE(SetEvent(handle));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
        EXPECT_FALSE(CloseHandle(handle));
    }
}

TEST_F(NamedEvent, AnUnknownActionFails) {
    HANDLE event = OpenEvent(u"E");
    EXPECT_FALSE(EventModify(event, 99));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

}  // namespace

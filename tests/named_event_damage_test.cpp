// Event files damaged, cut short, kept locked or left behind by processes of
// the same user (no other user can reach them): one message on standard
// error, the calls fail with an error, and nothing crashes or hangs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/kernel32/named_event.h"
#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/environment_override.h"
#include "tests/support/event_files.h"
#include "tests/support/scratch_environment.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

HANDLE OpenEvent(const char16_t* name) { return CreateEventW(nullptr, FALSE, FALSE, name); }

// Fills the file from offset on with 0xAB bytes.
void Scribble(const std::string& path, off_t offset) {
    int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    struct stat status {};
    ASSERT_EQ(fstat(fd, &status), 0);
    std::vector<char> junk(static_cast<size_t>(status.st_size - offset), '\xAB');
    EXPECT_EQ(pwrite(fd, junk.data(), junk.size(), offset), static_cast<ssize_t>(junk.size()));
    close(fd);
}

std::string Message(const char* name, const std::string& path, const std::string& why) {
    return std::string("qozcal: event ") + name + " (" + path + ") cannot be used: " + why + "\n";
}

Clock::duration Since(Clock::time_point began) { return Clock::now() - began; }

// Each test has an event folder of its own: the files of its killed
// processes must stay until it opens an event itself, and another test's
// open anywhere else would remove them.
class EventTrouble : public ::testing::Test {
protected:
    void SetUp() override {
        alarm(60);  // a wedged event fails the run instead of hanging it
        fs::create_directory(runtime());
        chmod(runtime().c_str(), 0700);
    }
    void TearDown() override { alarm(0); }
    fs::path runtime() const { return scratch.dir() / "run"; }
    ScratchEnvironment scratch;
    EnvironmentOverride ownFolder{"XDG_RUNTIME_DIR", runtime().string()};
};

TEST_F(EventTrouble, ADamagedEventInUseIsRefusedWithOneMessageAndItsCallsFail) {
    struct Case {
        const char16_t* name;
        const char* label;
        off_t from;  // the first byte scribbled over
        std::string why;
    };
    for (const Case& damage :
         {Case{u"H", "H", 0, "it is damaged (bad magic number)"},
          Case{u"S", "S", 16, "it is damaged (its reset mode is out of range)"}}) {
        SCOPED_TRACE(damage.why);
        HANDLE event = OpenEvent(damage.name);
        ASSERT_NE(event, nullptr);
        std::string path = EventFile(damage.name);
        Scribble(path, damage.from);

        CaptureStderr();
        SetLastError(0);
        EXPECT_EQ(OpenEvent(damage.name), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
        EXPECT_FALSE(SetEvent(event));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
        EXPECT_EQ(GetCapturedStderr(), Message(damage.label, path, damage.why));
        CloseHandle(event);

        // Once nobody has it open, the next open makes it anew.
        event = OpenEvent(damage.name);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_TRUE(SetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        CloseHandle(event);
    }
}

TEST_F(EventTrouble, AnEventCutShortFailsItsWaiterInsteadOfKillingIt) {
    HANDLE event = OpenEvent(u"E");
    ASSERT_NE(event, nullptr);
    std::string path = EventFile(u"E");
    std::atomic<DWORD> waited{WAIT_OBJECT_0};
    std::atomic<DWORD> error{0};
    std::thread waiter([&] {
        waited = WaitForSingleObject(event, INFINITE);
        error = GetLastError();
    });
    ASSERT_TRUE(Eventually([] { return WaitersOn(u"E") == 1; }));

    CaptureStderr();
    ASSERT_EQ(truncate(path.c_str(), 8), 0);
    waiter.join();
    EXPECT_EQ(waited.load(), WAIT_FAILED);
    EXPECT_EQ(error.load(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
    EXPECT_EQ(OpenEvent(u"E"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
    EXPECT_EQ(GetCapturedStderr(), Message("E", path, "it is damaged (it was cut short)"));

    CloseHandle(event);
    EXPECT_FALSE(fs::exists(path));
}

// A process of the user cuts the file short and makes it whole again, over
// and over, while another opens, sets and closes the event: each open either
// works or is refused as damaged, and no SIGBUS ends the opener.
TEST_F(EventTrouble, AnEventCutShortAgainAndAgainWhileItIsOpenedNeverKillsTheOpener) {
    HANDLE event = OpenEvent(u"C");
    ASSERT_NE(event, nullptr);
    std::string path = EventFile(u"C");
    const std::string whole = ReadWholeFile(path);
    ChildProcess cutter = StartChild({.function = [&] {
        for (int fd = open(path.c_str(), O_RDWR);;) {
            if (ftruncate(fd, 0) != 0 ||
                pwrite(fd, whole.data(), whole.size(), 0) != ssize_t(whole.size()))
                return 1;
        }
        return 0;
    }});
    ChildResult opener = RunChild({.function = [] {
                                      for (int open = 0; open < 20000; ++open) {
                                          HANDLE again = OpenEvent(u"C");
                                          if (again == nullptr &&
                                              GetLastError() != ERROR_FILE_CORRUPT)
                                              return 1;
                                          if (again != nullptr) {
                                              SetEvent(again);
                                              CloseHandle(again);
                                          }
                                      }
                                      return 0;
                                  }},
                                  30s);
    StopChild(cutter);
    EXPECT_EQ(opener.status, 0) << "the opener died of a signal or failed otherwise";
    CloseHandle(event);
}

TEST_F(EventTrouble, ALockKeptByALiveProcessIsGivenUpAfterTwoSecondsWithOneMessage) {
    HANDLE event = OpenEvent(u"E");
    HANDLE other = OpenEvent(u"E");
    ASSERT_NE(other, nullptr);
    auto holder = std::make_unique<StayingChild>([] {
        qoz::host::EventOpening opening = qoz::host::OpenNamedEvent(u"E", false, false);
        qoz::host::LockWatch watch;
        return qoz::host::LockEventState(*opening.mapping.state, watch) ==
               qoz::host::EventResult::Done;
    });
    ASSERT_TRUE(holder->acted());
    CaptureStderr();

    // Short waits time out as waits do, none of them late, until together
    // they have waited the patience; then they fail.
    Clock::time_point began = Clock::now();
    int timeouts = 0;
    DWORD result = WAIT_TIMEOUT;
    while (result == WAIT_TIMEOUT && Since(began) < 10s) {
        Clock::time_point call = Clock::now();
        result = WaitForSingleObject(other, 20);
        EXPECT_LT(Since(call), 1s);
        if (result == WAIT_TIMEOUT) ++timeouts;
    }
    EXPECT_EQ(result, WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_GE(Since(began), qoz::host::kEventLockPatience);
    EXPECT_GT(timeouts, 0);

    // A set waits the patience once.
    began = Clock::now();
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_GE(Since(began), qoz::host::kEventLockPatience);
    EXPECT_LT(Since(began), 10s);
    EXPECT_EQ(OpenEvent(u"E"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_EQ(GetCapturedStderr(), Message("E", EventFile(u"E"),
                                           "another process has kept it locked for more than 2 s"));

    // The lock of a holder that is gone is taken over at once.
    holder.reset();
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_OBJECT_0);
    CloseHandle(other);
    CloseHandle(event);
}

TEST_F(EventTrouble, ALockLeftSetIsForgottenOnceEveryOpenerIsGone) {
    // A process leaves the lock naming a thread that runs (this test's own)
    // and dies without closing the event.
    ChildProcess child = StartChild({.function = [] {
        qoz::host::EventOpening opening = qoz::host::OpenNamedEvent(u"E", false, false);
        if (opening.mapping.state == nullptr) return 1;
        opening.mapping.state->lock.store(static_cast<uint32_t>(getppid()));
        raise(SIGKILL);
        return 0;
    }});
    EXPECT_EQ(WaitChild(child, 10s), -1);
    ASSERT_TRUE(fs::exists(EventFile(u"E")));

    Clock::time_point began = Clock::now();
    HANDLE event = OpenEvent(u"E");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_LT(Since(began), 1s);
    CloseHandle(event);
}

TEST_F(EventTrouble, EventsOfKilledProcessesAreRemovedByTheNextOpen) {
    {
        StayingChild opener(
            [] { return OpenEvent(u"A") != nullptr && OpenEvent(u"B") != nullptr; });
        ASSERT_TRUE(opener.acted());
    }  // killed here
    ASSERT_TRUE(fs::exists(EventFile(u"A")));
    ASSERT_TRUE(fs::exists(EventFile(u"B")));

    HANDLE event = OpenEvent(u"C");
    EXPECT_FALSE(fs::exists(EventFile(u"A")));
    EXPECT_FALSE(fs::exists(EventFile(u"B")));
    EXPECT_TRUE(fs::exists(EventFile(u"C")));
    CloseHandle(event);
    EXPECT_FALSE(fs::exists(EventFile(u"C")));
}

TEST_F(EventTrouble, TheFileIsPrivateAndOneThatIsNotTheUsersOwnIsRefused) {
    HANDLE event = OpenEvent(u"E");
    std::string path = EventFile(u"E");
    struct stat file {
    }, folder{};
    ASSERT_EQ(stat(path.c_str(), &file), 0);
    ASSERT_EQ(stat(fs::path(path).parent_path().c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(file.st_uid, geteuid());
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    CloseHandle(event);

    fs::path target = scratch.dir() / "target";
    std::string link = EventFile(u"L");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    CaptureStderr();
    SetLastError(0);
    EXPECT_EQ(OpenEvent(u"L"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetCapturedStderr(), Message("L", link, "it is a symbolic link"));
    EXPECT_FALSE(fs::exists(target));
    fs::remove(link);

    if (geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
    std::string foreign = EventFile(u"F");
    close(open(foreign.c_str(), O_CREAT | O_WRONLY, 0600));
    ASSERT_EQ(chown(foreign.c_str(), kUnprivilegedUser, kUnprivilegedUser), 0);
    CaptureStderr();
    EXPECT_EQ(OpenEvent(u"F"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetCapturedStderr(), Message("F", foreign, "it belongs to user 65534"));
    fs::remove(foreign);
}

}  // namespace

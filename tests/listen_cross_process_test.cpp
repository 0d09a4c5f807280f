#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "scratch_environment.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// One qozcal-listen process with its standard output on a pipe.
struct Listener {
    pid_t pid = -1;
    int output = -1;
    std::string pending;  // read but not yet taken as lines
};

Listener StartListener(std::vector<std::string> arguments) {
    Listener listener;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return listener;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    arguments.insert(arguments.begin(), QOZCAL_LISTEN_PATH);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawn(&listener.pid, QOZCAL_LISTEN_PATH, &actions, nullptr, argv.data(), environ) != 0)
        listener.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    listener.output = pipeEnds[0];
    return listener;
}

bool AwaitFile(const fs::path& path) {
    for (auto deadline = Clock::now() + 10s; Clock::now() < deadline;) {
        if (fs::exists(path)) return true;
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

// Reads the next line, without its line feed; "(nothing)" when none comes in time.
std::string NextLine(Listener& listener, std::chrono::milliseconds patience = 10s) {
    auto deadline = Clock::now() + patience;
    for (;;) {
        size_t end = listener.pending.find('\n');
        if (end != std::string::npos) {
            std::string line = listener.pending.substr(0, end);
            listener.pending.erase(0, end + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd ready{listener.output, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            return "(nothing)";
        char buffer[256];
        ssize_t count = read(listener.output, buffer, sizeof buffer);
        if (count <= 0) return "(nothing)";
        listener.pending.append(buffer, static_cast<size_t>(count));
    }
}

// Waits for the listener to exit; returns its exit status and leaves what
// it printed last in `pending`.
int Finish(Listener& listener) {
    int status = 0;
    if (waitpid(listener.pid, &status, 0) != listener.pid) return -1;
    char buffer[256];
    ssize_t count;
    while ((count = read(listener.output, buffer, sizeof buffer)) > 0)
        listener.pending.append(buffer, static_cast<size_t>(count));
    close(listener.output);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void WriteSetting(const char16_t* name, const std::u16string& text) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\QozSerial", 0, nullptr, 0, 0, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                             static_cast<DWORD>(text.size() * 2)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class Listen : public ::testing::Test {
protected:
    // Starts a listener and returns once it has both events open.
    Listener Start(std::vector<std::string> arguments) {
        fs::path ready = scratch.dir() / ("ready-" + std::to_string(++started));
        arguments.push_back("--ready");
        arguments.push_back(ready.string());
        Listener listener = StartListener(arguments);
        EXPECT_GT(listener.pid, 0);
        EXPECT_TRUE(AwaitFile(ready)) << "the listener did not get ready";
        return listener;
    }
    void Signal(const char16_t* name) {
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        EXPECT_TRUE(SetEvent(event));
        CloseHandle(event);
    }

    ScratchEnvironment scratch;
    int started = 0;
};

TEST_F(Listen, TheStartEventWakesTheListener) {
    Listener listener = Start({"--count", "1", "--timeout", "20000"});
    Signal(u"CALSTARTEVENT");
    EXPECT_EQ(NextLine(listener), "CALSTARTEVENT");
    EXPECT_EQ(Finish(listener), 0);
    EXPECT_EQ(listener.pending, "");
}

TEST_F(Listen, TheEndEventBringsTheFourSettings) {
    // Written under other spellings, as a calibration writes them.
    WriteSetting(u"SCALEX", u"1.12940");
    WriteSetting(u"SCALEY", u"1.06667");
    WriteSetting(u"OFFSETX", u"-42.16471");
    WriteSetting(u"OFFSETY", u"-34.13334");
    Listener listener = Start({"--count", "1", "--timeout", "20000"});
    Signal(u"CALENDEVENT");
    EXPECT_EQ(NextLine(listener), "CALENDEVENT");
    EXPECT_EQ(NextLine(listener), "ScaleX=1.12940");
    EXPECT_EQ(NextLine(listener), "ScaleY=1.06667");
    EXPECT_EQ(NextLine(listener), "OffsetX=-42.16471");
    EXPECT_EQ(NextLine(listener), "OffsetY=-34.13334");
    EXPECT_EQ(Finish(listener), 0);
    EXPECT_EQ(listener.pending, "");
}

TEST_F(Listen, MissingAndNonTextSettingsAreNamedAsSuch) {
    WriteSetting(u"ScaleX", u"1");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\QozSerial", 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    DWORD number = 42;
    RegSetValueExW(key, u"ScaleY", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    RegCloseKey(key);

    Listener listener = Start({"--count", "2", "--timeout", "20000"});
    Signal(u"CALSTARTEVENT");
    EXPECT_EQ(NextLine(listener), "CALSTARTEVENT");
    Signal(u"CALENDEVENT");
    EXPECT_EQ(NextLine(listener), "CALENDEVENT");
    EXPECT_EQ(NextLine(listener), "ScaleX=1");
    EXPECT_EQ(NextLine(listener), "ScaleY=(type 4)");
    EXPECT_EQ(NextLine(listener), "OffsetX=(missing)");
    EXPECT_EQ(NextLine(listener), "OffsetY=(missing)");
    EXPECT_EQ(Finish(listener), 0);
}

TEST_F(Listen, OneSetWakesExactlyOneOfTwoListeners) {
    Listener first = Start({"--count", "1", "--timeout", "1500"});
    Listener second = Start({"--count", "1", "--timeout", "1500"});
    Signal(u"CALSTARTEVENT");
    int firstStatus = Finish(first);
    int secondStatus = Finish(second);
    EXPECT_EQ(firstStatus + secondStatus, 1) << firstStatus << " and " << secondStatus;
    Listener& woken = firstStatus == 0 ? first : second;
    Listener& idle = firstStatus == 0 ? second : first;
    EXPECT_EQ(woken.pending, "CALSTARTEVENT\n");
    EXPECT_EQ(idle.pending, "");
}

TEST_F(Listen, GivingUpBeforeTheCountEndsWithStatusOne) {
    auto began = Clock::now();
    Listener listener = Start({"--count", "1", "--timeout", "200"});
    EXPECT_EQ(Finish(listener), 1);
    EXPECT_GE(Clock::now() - began, 200ms);
    EXPECT_EQ(listener.pending, "");
}

TEST_F(Listen, BadOptionsEndWithStatusTwo) {
    for (std::vector<std::string> arguments :
         {std::vector<std::string>{"--count"}, {"--count", "-3"}, {"--timeout", "soon"}, {"--loud"}}) {
        Listener listener = StartListener(arguments);
        EXPECT_EQ(Finish(listener), 2) << arguments.back();
        EXPECT_EQ(listener.pending, "");
    }
}

}  // namespace

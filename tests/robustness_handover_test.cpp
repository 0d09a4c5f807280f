// qozcal hands a window run over to its window program only when nobody but
// root and the user can have put it there or changed it, and never to
// itself; and a window run ends on a quit signal from its first moment.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "tests/support/qozcal_run.h"
#include "tests/support/x_server.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A copy of qozcal laid out as installed: bin/qozcal, and the window program
// it looks for in libexec/qozcal, here a script that leaves a mark.
struct Installed {
    explicit Installed(const fs::path& root) : root(root) {
        fs::create_directories(root / "bin");
        fs::create_directories(root / "libexec/qozcal");
        fs::copy_file(QOZCAL_PATH, qozcal());
        std::ofstream(window()) << "#!/bin/sh\ntouch \"$0.ran\"\n";
        fs::permissions(window(), fs::perms(0755));
    }
    fs::path qozcal() const { return root / "bin/qozcal"; }
    fs::path window() const { return root / "libexec/qozcal/qozcal-window"; }
    fs::path root;
};

TEST(WindowHandOver, RunsOnlyAWindowProgramOfRootOrTheUserThatNobodyElseMayChange) {
    struct Case {
        const char* what;
        std::function<void(const Installed&)> plant;
        std::string reason;  // empty: the window program runs
        bool needsRoot = false;
    };
    const Case cases[] = {
        {"the user's own, in the user's folders", [](const Installed&) {}, ""},
        {"one others may change",
         [](const Installed& copy) { fs::permissions(copy.window(), fs::perms(0757)); },
         "others may change it"},
        {"one in a folder others may write",
         [](const Installed& copy) { fs::permissions(copy.root / "libexec", fs::perms(0777)); },
         "others may write to the folder {root}/libexec above it (mode 0777)"},
        {"another user's",
         [](const Installed& copy) { ASSERT_EQ(chown(copy.window().c_str(), 65534, 65534), 0); },
         "it belongs to user 65534", true},
        {"qozcal itself, through a link",
         [](const Installed& copy) {
             fs::remove(copy.window());
             fs::create_symlink("../../bin/qozcal", copy.window());
         },
         "it is this program itself"},
        {"none", [](const Installed& copy) { fs::remove(copy.window()); },
         "No such file or directory"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        if (row.needsRoot && geteuid() != 0) {
            std::printf("skipped (giving a file away needs root): %s\n", row.what);
            continue;
        }
        ScratchEnvironment scratch;
        Installed copy(scratch.dir() / "install");
        row.plant(copy);
        ChildResult run = RunChild({.argv = {copy.qozcal().string()}}, 30s);
        bool ran = fs::exists(copy.window().string() + ".ran");
        if (row.reason.empty()) {
            EXPECT_TRUE(ran);
            EXPECT_EQ(run.status, 0) << run.error;
            continue;
        }
        std::string reason = row.reason;
        if (size_t at = reason.find("{root}"); at != std::string::npos)
            reason.replace(at, 6, copy.root.string());
        EXPECT_FALSE(ran);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.error, "qozcal: will not start the window program " +
                                 copy.qozcal().parent_path().string() +
                                 "/../libexec/qozcal/qozcal-window: " + reason +
                                 "; install qozcal with its window program where only root or "
                                 "you can change them (cmake --install, or the Debian package), "
                                 "or run with --headless\n");
    }
}

// Whether the process has a handler for SIGTERM: qozcal's own start-up has run.
bool CatchesTerm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// From the moment qozcal catches the quit signals, through the hand-over's
// exec and the window library's start-up, a quit ends the run with status 0.
TEST(WindowHandOver, AQuitSignalInTheWindowRunsFirstMomentsEndsItAsAQuit) {
    if (!FindProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ScratchEnvironment scratch;
    XvfbServer server(scratch.dir() / "xvfb.err");
    ASSERT_TRUE(server.Running()) << server.Error();
    std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> moment(0, 30000);
    for (int run = 0; run < 30; ++run) {
        int signal = run % 2 == 0 ? SIGTERM : SIGHUP;
        ChildLaunch launch = ScriptLaunch(scratch, {.text = "wait 60000\n"});
        std::erase(launch.argv, std::string("--headless"));
        launch.setEnvironment = {{"DISPLAY", server.Display()}, {"ASAN_OPTIONS", "detect_leaks=0"}};
        launch.unsetEnvironment = {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
        ChildProcess window = StartChild(launch);
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!CatchesTerm(window.pid) && std::chrono::steady_clock::now() < deadline) {}
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        kill(window.pid, signal);
        EXPECT_EQ(WaitChild(window, 20s), 0) << strsignal(signal) << " in run " << run;
    }
}

}  // namespace

// qozcal hands a window run over only to a window program nobody but root
// and the user can have planted or changed, never to itself; and a window
// run ends on a quit signal from its first moment.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <regex>
#include <thread>

#include "tests/support/qozcal_run.h"
#include "tests/support/x_server.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(WindowHandOver, RunsOnlyAWindowProgramOfRootOrTheUserThatNobodyElseMayChange) {
    // A copy of qozcal laid out as installed, and the window program it
    // looks for: a script that leaves a mark, planted as each row says.
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"", ""},
        {"chmod 0757 $W", "others may change it"},
        {"chmod 0777 $R/libexec", "others may write to the folder R/libexec above it (mode 0777)"},
        {"chown 65534 $W", "it belongs to user 65534"},
        {"ln -sf ../../bin/qozcal $W", "it is this program itself"},
        {"rm $W", "No such file or directory"}};
    for (const auto& [plant, reason] : rows) {
        SCOPED_TRACE(plant);
        if (plant.starts_with("chown") && geteuid() != 0) continue;  // needs root
        ScratchEnvironment scratch;
        fs::path root = scratch.dir() / "copy", window = root / "libexec/qozcal/qozcal-window";
        fs::create_directories(window.parent_path());
        fs::create_directories(root / "bin");
        fs::copy_file(QOZCAL_PATH, root / "bin/qozcal");
        std::ofstream(window) << "#!/bin/sh\ntouch \"$0.ran\"\n";
        fs::permissions(window, fs::perms(0755));
        std::string command = "R=" + root.string() + " W=" + window.string() + "; " + plant;
        ASSERT_EQ(RunChild({.argv = {"/bin/sh", "-c", command}}, 10s).status, 0);
        ChildResult run = RunChild({.argv = {(root / "bin/qozcal").string()}}, 30s);
        EXPECT_EQ(fs::exists(window.string() + ".ran"), reason.empty());
        if (reason.empty()) continue;
        std::string because = std::regex_replace(reason, std::regex("R/"), root.string() + "/");
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.error, "qozcal: will not start the window program " + root.string() +
                                 "/bin/../libexec/qozcal/qozcal-window: " + because +
                                 "; install qozcal with its window program where only root or "
                                 "you can change them (cmake --install, or the Debian package), "
                                 "or run with --headless\n");
    }
}

// A copy of qozcal in a folder of the user's directly below a sticky shared
// folder such as /tmp looks for SHARED/libexec/qozcal/qozcal-window, which the
// second user of the machine makes.
TEST(WindowHandOver, RefusesAWindowProgramTheSecondUserPlantedInASharedFolder) {
    if (geteuid() != 0) GTEST_SKIP() << "a second user needs the tests to run as root";
    ScratchEnvironment scratch;
    fs::path shared = scratch.dir() / "shared", window = shared / "libexec/qozcal/qozcal-window";
    fs::create_directories(shared / "mine");
    fs::permissions(scratch.dir(), fs::perms(0755));
    fs::permissions(shared, fs::perms(01777));
    fs::copy_file(QOZCAL_PATH, shared / "mine/qozcal");
    StayingChild planter(
        [&] {
            fs::create_directories(window.parent_path());
            std::ofstream(window) << "#!/bin/sh\ntouch \"$0.ran\"\n";
            return chmod(window.c_str(), 0755) == 0;
        },
        true);
    ASSERT_TRUE(planter.acted());
    ChildResult run = RunChild({.argv = {(shared / "mine/qozcal").string()}}, 30s);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.error.find("/mine/../libexec/qozcal/qozcal-window: it belongs to user 65534; "),
              std::string::npos)
        << run.error;
    EXPECT_FALSE(fs::exists(window.string() + ".ran"));
}

// Whether qozcal's start-up has caught SIGTERM.
bool CatchesTerm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("SigCgt:"))
            return (std::stoull(line.substr(7), nullptr, 16) >> 14) & 1;
    return false;
}

// From then on, through the hand-over's exec and SDL's start-up, a quit
// signal ends the run with status 0.
TEST(WindowHandOver, AQuitSignalInTheWindowRunsFirstMomentsEndsItAsAQuit) {
    if (!FindProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ScratchEnvironment scratch;
    XvfbServer server(scratch.dir() / "xvfb.err");
    ASSERT_TRUE(server.Running()) << server.Error();
    std::mt19937 random{std::random_device{}()};
    for (int run = 0; run < 30; ++run) {
        ChildLaunch launch = ScriptLaunch(scratch, {.text = "wait 60000\n"});
        std::erase(launch.argv, std::string("--headless"));
        launch.setEnvironment = {{"DISPLAY", server.Display()}, {"ASAN_OPTIONS", "detect_leaks=0"}};
        launch.unsetEnvironment = {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
        ChildProcess window = StartChild(launch);
        auto until = std::chrono::steady_clock::now() + 10s;
        while (!CatchesTerm(window.pid) && std::chrono::steady_clock::now() < until) {}
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        kill(window.pid, run % 2 ? SIGHUP : SIGTERM);
        EXPECT_EQ(WaitChild(window, 20s), 0) << "run " << run;
    }
}

}  // namespace

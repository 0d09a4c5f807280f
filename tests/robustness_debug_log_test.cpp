// Debug logs that cannot be written: the user is told once, every debug line
// still reaches standard error (or is dropped, when that cannot take it
// either), and the calibration's settings are stored.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <utility>

#include "tests/support/calibration_script.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string expectedLines = kSeedLines +
                                  "Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n"
                                  "Completes Calibration ..........r\n";

std::string Notice(const std::string& path, const std::string& reason) {
    return "qozcal: cannot write debug log " + path + ": " + reason +
           "; debug lines go to standard error\n";
}

TEST(UnwritableDebugLog, FallsBackToStandardErrorWithOneNotice) {
    struct Case {
        const char* what;
        std::string path;  // relative to the scratch folder unless absolute
        std::string reason;
    };
    const Case cases[] = {
        {"in a folder that does not exist", "missing/debug.log", "No such file or directory"},
        {"a folder", "folder", "Is a directory"},
        {"a full device", "/dev/full", "No space left on device"},
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.what);
        ScratchEnvironment scratch;
        fs::create_directory(scratch.dir() / "folder");
        std::string path = bad.path[0] == '/' ? bad.path : (scratch.dir() / bad.path).string();
        ChildResult run =
            RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets()), .debugLog = path});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.error, Notice(path, bad.reason) + expectedLines);
        EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
        EXPECT_FALSE(fs::exists(scratch.dir() / "missing"));
        EXPECT_TRUE(fs::is_empty(scratch.dir() / "folder"));
    }
}

TEST(UnwritableDebugLog, AFileWithoutWritePermissionIsNamedAndKept) {
    ScratchEnvironment scratch;
    ASSERT_EQ(chmod(scratch.dir().c_str(), 0777), 0);
    std::string log = scratch.writeFile("debug.log", "earlier lines\n");
    std::string script = scratch.writeFile("run.pen", CalibrationScript(TapsAtTheTargets()));
    ASSERT_EQ(chmod(log.c_str(), 0444), 0);
    ASSERT_EQ(chmod(script.c_str(), 0644), 0);
    ChildResult run = RunScript(scratch, {.script = script, .debugLog = log, .unprivileged = true});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, Notice(log, "Permission denied") + expectedLines);
    EXPECT_EQ(ReadWholeFile(log), "earlier lines\n");
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
}

// qozcal on the script with its debug lines going to standard error, which
// is a pipe whose reader is gone, as with `qozcal ... 2>&1 | head -c 10` once
// head has ended: every write to it fails. Or, stalled, a full pipe whose
// reader is there but reads nothing: qozcal is sent SIGTERM once its
// calibration is stored, when the script asks for real time.
// Returns its exit status.
int RunIntoAClosedPipe(const ScratchEnvironment& scratch, const std::string& script,
                       bool stalled = false) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    while (stalled && write(ends[1], script.data(), script.size()) > 0) {}
    fcntl(ends[1], F_SETFL, 0);
    if (!stalled) close(std::exchange(ends[0], -1));
    ChildLaunch launch = ScriptLaunch(scratch, {.text = script, .realTime = stalled});
    auto logOption = std::find(launch.argv.begin(), launch.argv.end(), "--debug-log");
    launch.argv.erase(logOption, logOption + 2);
    launch.unsetEnvironment = {"QOZCAL_DEBUG_LOG"};
    launch.errorDescriptor = ends[1];
    ChildProcess run = StartChild(launch);
    close(ends[1]);
    for (auto until = run.began + 30s; stalled && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(10ms);
        stalled = SettingsText(scratch, "ScaleX") != "0.99999";
    }
    if (ends[0] >= 0) kill(run.pid, SIGTERM);
    int status = WaitChild(run, 60s);
    if (ends[0] >= 0) close(ends[0]);
    return status;
}

TEST(UnwritableDebugLog, AStandardErrorThatNobodyReadsIsDroppedAndTheRunGoesOn) {
    ScratchEnvironment scratch;
    EXPECT_EQ(RunIntoAClosedPipe(scratch, "tap 100 200\nwait 700\n"), 0)
        << "it did not end normally";
    EXPECT_EQ(FourSettings(scratch), (std::vector<std::string>{"1", "1", "0", "0"}));

    EXPECT_EQ(RunIntoAClosedPipe(scratch, CalibrationScript(TapsAtTheTargets())), 0);
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
}

// Each debug line waits a bounded time for the stalled pipe, and SIGTERM
// ends the run between messages all the same.
TEST(UnwritableDebugLog, AStalledStandardErrorNeitherHangsTheRunNorKeepsASignalWaiting) {
    ScratchEnvironment scratch;
    EXPECT_EQ(RunIntoAClosedPipe(
                  scratch, CalibrationScript(TapsAtTheTargets(), false, 10) + "wait 60000\n", true),
              0);
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
}

}  // namespace

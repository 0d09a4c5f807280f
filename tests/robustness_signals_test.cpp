// qozcal signalled at a random moment of a real-time calibration, around
// the moment it writes its four settings: SIGTERM, SIGINT and SIGHUP end it
// as closing its window does, between two messages, so the settings file
// always holds one whole set; and whatever its standard error does. Repeat a
// case (--gtest_repeat) for longer runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/calibration_script.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::vector<std::string> kSeeded = {"1", "1", "0", "0"};
const std::vector<std::string> kNothing(4, "(missing)");

class SignalledCalibration : public ::testing::Test {
protected:
    // A calibration run to its end, watched for when its settings change.
    void SetUp() override {
        std::vector<Clock::duration> changes;
        ChildProcess run = StartChild(Launch());
        struct stat seen {};
        while (!ChildEnded(run)) {
            struct stat now {};
            stat(scratch.registryPath().c_str(), &now);
            if (now.st_ino != seen.st_ino || now.st_mtim.tv_nsec != seen.st_mtim.tv_nsec)
                changes.push_back(Clock::now() - run.began);
            seen = now;
            std::this_thread::sleep_for(100us);
        }
        ASSERT_EQ(WaitChild(run, 10s), 0);
        ASSERT_GE(changes.size(), 8u);
        calibrated = FourSettings(scratch);
        ASSERT_NE(calibrated, kSeeded);
        // The last four changes are the calibration's; the first began a
        // little before it was seen.
        firstWrite = changes[changes.size() - 4] - 1ms;
        lastWrite = changes.back() + 1ms;
    }

    // `then` follows the calibration in the script.
    ChildLaunch Launch(const std::string& then = "") {
        return ScriptLaunch(
            scratch,
            {.text = CalibrationScript(TapsAtTheTargets(), false, 10) + then, .realTime = true});
    }

    // Runs the calibration anew, sends the signal at a random moment around
    // the writes, and checks how it ended and what it left. The script goes
    // on for 30 s after the calibration: a run that ends within 10 s of the
    // signal, however slow its writes under load, ended on it.
    void SignalAtRandom(int signal) {
        fs::remove(scratch.registryPath());
        std::uniform_int_distribution<int64_t> spread(0, (lastWrite - firstWrite).count());
        Clock::duration moment = firstWrite + Clock::duration(spread(random));
        ChildProcess run = StartChild(Launch("wait 30000\n"));
        std::this_thread::sleep_until(run.began + moment);
        kill(run.pid, signal);
        EXPECT_EQ(WaitChild(run, 10s), 0) << "the signal did not end it as a quit";
        std::vector<std::string> left = FourSettings(scratch);
        if (left != kNothing && left != kSeeded && left != calibrated) ++torn;
    }

    ScratchEnvironment scratch;
    std::vector<std::string> calibrated;
    Clock::duration firstWrite{}, lastWrite{};
    std::mt19937_64 random{std::random_device{}()};
    int torn = 0;
};

TEST_F(SignalledCalibration, EndsBetweenMessagesAndLeavesOneWholeSetOfSettings) {
    const int signals[] = {SIGTERM, SIGINT, SIGHUP, SIGTERM, SIGTERM, SIGINT,
                           SIGHUP,  SIGTERM, SIGTERM, SIGINT, SIGHUP, SIGTERM};
    for (int signal : signals) {
        SCOPED_TRACE(strsignal(signal));
        SignalAtRandom(signal);
    }
    EXPECT_EQ(torn, 0) << torn << " of 12 runs left a torn set of settings";
}

// Standard error is a pipe that is full and that nobody reads: each debug
// line waits a bounded time, and a quit signal ends the wait and the run.
TEST(StalledStandardError, NeitherHangsTheRunNorKeepsAQuitSignalWaiting) {
    for (bool signalled : {false, true}) {
        SCOPED_TRACE(signalled ? "SIGTERM" : "no signal");
        ScratchEnvironment scratch;
        int ends[2];
        ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
        fcntl(ends[1], F_SETFL, O_NONBLOCK);
        const std::string filler(4096, 'x');
        while (write(ends[1], filler.data(), filler.size()) > 0) {}
        fcntl(ends[1], F_SETFL, 0);
        // A calibration, then a minute of waiting that only a signal cuts short.
        ChildLaunch launch = ScriptLaunch(
            scratch, {.text = CalibrationScript(TapsAtTheTargets(), false, 10) +
                              (signalled ? "wait 60000\n" : ""),
                      .realTime = signalled});
        auto log = std::find(launch.argv.begin(), launch.argv.end(), "--debug-log");
        launch.argv.erase(log, log + 2);
        launch.unsetEnvironment = {"QOZCAL_DEBUG_LOG"};
        launch.errorDescriptor = ends[1];
        ChildProcess run = StartChild(launch);
        close(ends[1]);
        if (signalled) {
            for (auto until = Clock::now() + 20s;
                 FourSettings(scratch)[0] != "0.99999" && Clock::now() < until;)
                std::this_thread::sleep_for(10ms);
            kill(run.pid, SIGTERM);
        }
        EXPECT_EQ(WaitChild(run, 20s), 0);
        EXPECT_EQ(FourSettings(scratch)[0], "0.99999");
        close(ends[0]);
    }
}

}  // namespace

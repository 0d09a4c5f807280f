// qozcal signalled at a random moment of a real-time calibration, around
// the moment it writes its four settings: SIGTERM, SIGINT and SIGHUP end it
// as closing its window does, between two messages, so the settings file
// always holds one whole set. Repeat a case (--gtest_repeat) for longer runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

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

}  // namespace

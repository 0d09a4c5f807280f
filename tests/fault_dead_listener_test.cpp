// Listeners killed while they wait on the events: none of them wedges an
// event, and the next listener hears the next calibration.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "robustness_support.h"

namespace {

using namespace std::chrono_literals;

ChildProcess StartListener(const ScratchEnvironment& scratch, const std::string& name) {
    std::filesystem::path ready = scratch.dir() / (name + ".ready");
    ChildLaunch launch;
    launch.argv = {QOZCAL_LISTEN_PATH, "--count", "1", "--timeout", "20000", "--ready", ready.string()};
    launch.outputPath = scratch.dir() / (name + ".out");
    ChildProcess listener = StartChild(launch);
    for (auto deadline = std::chrono::steady_clock::now() + 10s; !std::filesystem::exists(ready);
         std::this_thread::sleep_for(1ms))
        if (std::chrono::steady_clock::now() > deadline) break;
    return listener;
}

TEST(DeadListeners, DoNotWedgeTheEventForTheNextOne) {
    ScratchEnvironment scratch;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> waitedMicroseconds(0, 20000);
    for (int i = 0; i < 20; ++i) {
        ChildProcess doomed = StartListener(scratch, "doomed");
        std::this_thread::sleep_for(std::chrono::microseconds(waitedMicroseconds(random)));
        StopChild(doomed);  // SIGKILL, wherever it is in its wait
        std::filesystem::remove(scratch.dir() / "doomed.ready");
    }

    ChildProcess next = StartListener(scratch, "next");
    ASSERT_TRUE(std::filesystem::exists(scratch.dir() / "next.ready"));
    // A key starts the calibration, so the end event is the only one.
    ChildResult run = RunScript(scratch, CalibrationScript(TapsAtTheTargets(), true));
    ASSERT_EQ(run.status, 0) << run.error;
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitChild(next, 30s), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 5s) << "the end took too long to arrive";
    EXPECT_EQ(ReadWholeFile(scratch.dir() / "next.out").substr(0, 35),
              "CALENDEVENT\nScaleX=0.99999\nScaleY=1");
}

}  // namespace

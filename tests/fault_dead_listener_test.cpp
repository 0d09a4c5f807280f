// Listeners killed while they wait on the events: none of them wedges an
// event, and the next listener hears the next calibration.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "tests/support/calibration_script.h"
#include "tests/support/listener.h"
#include "tests/support/qozcal_run.h"

namespace {

using namespace std::chrono_literals;

const std::vector<std::string> listenOnce = {"--count", "1", "--timeout", "20000"};

TEST(DeadListeners, DoNotWedgeTheEventForTheNextOne) {
    ScratchEnvironment scratch;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> waitedMicroseconds(0, 20000);
    for (int i = 0; i < 20; ++i) {
        Listener doomed(scratch, listenOnce);  // killed at the end of the loop's body
        std::this_thread::sleep_for(std::chrono::microseconds(waitedMicroseconds(random)));
    }

    Listener next(scratch, listenOnce);
    ASSERT_TRUE(next.ready());
    // A key starts the calibration, so the end event is the only one.
    ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets(), true)});
    ASSERT_EQ(run.status, 0) << run.error;
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(next.Finish(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - began, 5s) << "the end took too long to arrive";
    EXPECT_EQ(next.Output().substr(0, 35), "CALENDEVENT\nScaleX=0.99999\nScaleY=1");
}

}  // namespace

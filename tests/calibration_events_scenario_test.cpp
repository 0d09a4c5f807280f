// The two named events as the touch driver sees them: qozcal-listen in its
// own process, while the simulator replays a calibration.
#include <gtest/gtest.h>

#include "tests/support/listener.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/screen_checks.h"

namespace {

const std::string neutralFitValues =
    "ScaleX=0.99999\nScaleY=1.00000\n";  // the offsets print as about zero

TEST(ListenerBeside, SeesTheButtonsStartAndThenTheEnd) {
    ScratchEnvironment scratch;  // also gives the test its own event namespace
    Listener listener(scratch, {"--count", "2", "--timeout", "20000"});
    ASSERT_TRUE(listener.ready());
    ChildResult run = RunScript(scratch, {.script = Scenario("full-calibration.pen")});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(listener.Finish(), 0);
    std::string output = listener.Output();
    EXPECT_EQ(output.substr(0, output.find("OffsetX")),
              "CALSTARTEVENT\nCALENDEVENT\n" + neutralFitValues);
    EXPECT_NE(output.find("OffsetX="), std::string::npos);
    EXPECT_NE(output.find("OffsetY="), std::string::npos);
}

TEST(ListenerBeside, SeesNoStartWhenAKeyStartedTheCalibration) {
    // Two events are asked for and only the end ever comes: the listener
    // gives up after its timeout.
    ScratchEnvironment scratch;
    Listener listener(scratch, {"--count", "2", "--timeout", "5000"});
    ASSERT_TRUE(listener.ready());
    ChildResult run = RunScript(scratch, {.script = Scenario("key-start.pen")});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(ClientDifferences(Shot(scratch, "first-mark.png"), TargetMark(24, 32)), "");
    EXPECT_EQ(listener.Finish(), 1);
    std::string output = listener.Output();
    EXPECT_EQ(output.substr(0, output.find("OffsetX")), "CALENDEVENT\n" + neutralFitValues);
}

TEST(ListenerBeside, SeesOneStartWhenAKeyRestartsTheCalibration) {
    // In real time, so the listener takes the start event long before the key
    // release: a second start would be a second line.
    ScratchEnvironment scratch;
    Listener listener(scratch, {"--count", "2", "--timeout", "30000"});
    ASSERT_TRUE(listener.ready());
    ChildResult run = RunScript(scratch, {.script = Scenario("key-restart.pen"), .realTime = true});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(listener.Finish(), 0);
    std::string output = listener.Output();
    EXPECT_EQ(output.substr(0, output.find("OffsetX")),
              "CALSTARTEVENT\nCALENDEVENT\n" + neutralFitValues);
    EXPECT_EQ(ClientDifferences(Shot(scratch, "second-mark.png"), TargetMark(216, 32)), "");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "restarted.png"), TargetMark(24, 32)), "");
}

}  // namespace

// The two named events as the touch driver sees them: qozcal-listen in its
// own process, while the simulator replays a calibration.
#include <gtest/gtest.h>

#include <thread>

#include "scenario_support.h"

namespace {

using namespace std::chrono_literals;

const std::string neutralFitValues =
    "ScaleX=0.99999\nScaleY=1.00000\n";  // the offsets print as about zero

class ListenerBeside : public ::testing::Test {
protected:
    // Starts qozcal-listen and waits until it has both events open.
    void StartListener(const std::vector<std::string>& options) {
        ChildLaunch launch;
        launch.argv = {QOZCAL_LISTEN_PATH, "--ready", (scratch.dir() / "ready").string()};
        launch.argv.insert(launch.argv.end(), options.begin(), options.end());
        launch.outputPath = scratch.dir() / "listener.out";
        launch.errorPath = scratch.dir() / "listener.err";
        listener = StartChild(launch);
        for (auto deadline = std::chrono::steady_clock::now() + 10s;
             !std::filesystem::exists(scratch.dir() / "ready");
             std::this_thread::sleep_for(2ms))
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the listener never got ready";
    }
    int ListenerStatus() { return WaitChild(listener, 30s); }
    std::string ListenerOutput() { return ReadWholeFile(scratch.dir() / "listener.out"); }
    void TearDown() override { StopChild(listener); }

    ScratchEnvironment scratch;  // also gives this test its own event namespace
    ChildProcess listener;
};

TEST_F(ListenerBeside, SeesTheButtonsStartAndThenTheEnd) {
    ASSERT_NO_FATAL_FAILURE(StartListener({"--count", "2", "--timeout", "20000"}));
    ChildResult run = RunScenario(scratch, "full-calibration.pen");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(ListenerStatus(), 0);
    std::string output = ListenerOutput();
    EXPECT_EQ(output.substr(0, output.find("OffsetX")),
              "CALSTARTEVENT\nCALENDEVENT\n" + neutralFitValues);
    EXPECT_NE(output.find("OffsetX="), std::string::npos);
    EXPECT_NE(output.find("OffsetY="), std::string::npos);
}

TEST_F(ListenerBeside, SeesNoStartWhenAKeyStartedTheCalibration) {
    // Two events are asked for and only the end ever comes: the listener
    // gives up after its timeout.
    ASSERT_NO_FATAL_FAILURE(StartListener({"--count", "2", "--timeout", "5000"}));
    ChildResult run = RunScenario(scratch, "key-start.pen");
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(ClientDifferences(Shot(scratch, "first-mark.png"), TargetMark(24, 32)), "");
    EXPECT_EQ(ListenerStatus(), 1);
    std::string output = ListenerOutput();
    EXPECT_EQ(output.substr(0, output.find("OffsetX")), "CALENDEVENT\n" + neutralFitValues);
}

TEST_F(ListenerBeside, SeesOneStartWhenAKeyRestartsTheCalibration) {
    // In real time, so the listener takes the start event long before the key
    // release: a second start would be a second line.
    ASSERT_NO_FATAL_FAILURE(StartListener({"--count", "2", "--timeout", "30000"}));
    std::vector<std::string> arguments = {"--headless",
                                          "--registry",
                                          scratch.registryPath().string(),
                                          "--debug-log",
                                          scratch.debugLogPath().string(),
                                          "--script",
                                          QOZCAL_SCENARIO_DIR "/key-restart.pen"};
    ChildResult run = RunQozcal(scratch, arguments);
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(ListenerStatus(), 0);
    std::string output = ListenerOutput();
    EXPECT_EQ(output.substr(0, output.find("OffsetX")),
              "CALSTARTEVENT\nCALENDEVENT\n" + neutralFitValues);
    EXPECT_EQ(ClientDifferences(Shot(scratch, "second-mark.png"), TargetMark(216, 32)), "");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "restarted.png"), TargetMark(24, 32)), "");
}

}  // namespace

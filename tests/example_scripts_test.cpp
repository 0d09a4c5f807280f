// The pen scripts in examples/ and tests/scenarios/ are meant to replay on a
// real pointer too: they must parse, pace their moves, move only to new
// points and lift the pen where it last was. The examples must also run to
// their end.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/host/simulator/pen_script.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/screen_checks.h"

namespace {

namespace fs = std::filesystem;
using qoz::host::PenAction;
using qoz::host::RawInput;
using qoz::sim::ScriptStep;

constexpr uint64_t movePacing = 20;

std::vector<fs::path> ScriptsIn(const fs::path& folder) {
    std::vector<fs::path> scripts;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".pen") scripts.push_back(entry.path());
    std::sort(scripts.begin(), scripts.end());
    return scripts;
}

// Empty when the steps follow the replay rules, else the first breach.
std::string ReplayBreach(const std::vector<ScriptStep>& steps) {
    int lastX = -1, lastY = -1;
    uint64_t waitedSinceInput = 0;
    for (const ScriptStep& step : steps) {
        if (step.kind == ScriptStep::Kind::Wait) waitedSinceInput += step.milliseconds;
        if (step.kind != ScriptStep::Kind::Input) continue;
        const RawInput& input = step.input;
        std::string where = "line " + std::to_string(step.line) + ": ";
        if (input.kind == RawInput::Kind::Pen && input.pen == PenAction::Move &&
            waitedSinceInput < movePacing)
            return where + "a move less than 20 ms after the input before it";
        if (input.kind == RawInput::Kind::Pen && input.pen == PenAction::Move && input.x == lastX &&
            input.y == lastY)
            return where + "a move to where the pen already is";
        if (input.kind == RawInput::Kind::Pen && input.pen == PenAction::Up &&
            (input.x != lastX || input.y != lastY))
            return where + "the pen lifts away from where it last was";
        if (input.kind == RawInput::Kind::Pen) {
            lastX = input.x;
            lastY = input.y;
        }
        waitedSinceInput = 0;
    }
    return "";
}

TEST(ReplayRules, CatchUnpacedMovesAndLiftsAwayFromThePen) {
    auto steps = [](const char* text) { return qoz::sim::ParsePenScript(text).steps; };
    EXPECT_EQ(ReplayBreach(steps("down 1 1\nwait 20\nmove 2 2\nwait 20\nup 2 2\n")), "");
    EXPECT_EQ(ReplayBreach(steps("down 1 1\nwait 19\nmove 2 2\nup 2 2\n")),
              "line 3: a move less than 20 ms after the input before it");
    EXPECT_EQ(ReplayBreach(steps("stroke 1 1 2 2\n")),
              "line 1: a move less than 20 ms after the input before it");
    EXPECT_EQ(ReplayBreach(steps("down 1 1\nwait 20\nmove 2 2\nup 3 3\n")),
              "line 4: the pen lifts away from where it last was");
    EXPECT_EQ(ReplayBreach(steps("down 1 1\nwait 20\nmove 1 1\nwait 20\nup 1 1\n")),
              "line 3: a move to where the pen already is");
    EXPECT_EQ(ReplayBreach(steps("tap 5 5\nkey\ntap 6 6\n")), "");
}

TEST(ExampleAndScenarioScripts, ParseAndFollowTheReplayRules) {
    std::vector<fs::path> scripts = ScriptsIn(QOZCAL_EXAMPLES_DIR);
    std::vector<fs::path> scenarios = ScriptsIn(QOZCAL_SCENARIO_DIR);
    EXPECT_GE(scripts.size(), 6u);
    EXPECT_GE(scenarios.size(), 10u);
    scripts.insert(scripts.end(), scenarios.begin(), scenarios.end());
    for (const fs::path& script : scripts) {
        std::vector<ScriptStep> steps;
        std::string error;
        ASSERT_TRUE(qoz::sim::LoadPenScript(script.string(), steps, error)) << error;
        EXPECT_EQ(ReplayBreach(steps), "") << script;
    }
}

TEST(ExampleScripts, RunHeadlessToTheirEnd) {
    for (const char* name :
         {"demo.pen", "pad.pen", "erase.pen", "calibration.pen", "key-restart.pen", "exit.pen"}) {
        ScratchEnvironment scratch;
        ChildResult run = RunScript(scratch, {.script = Example(name)});
        EXPECT_EQ(run.status, 0) << name;
        EXPECT_EQ(run.error, "") << name;
    }
}

TEST(ExampleScripts, DemoCalibratesAndLeavesAPictureOfThePad) {
    ScratchEnvironment scratch;
    ChildResult run = RunScript(scratch, {.script = Example("demo.pen")});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_NE(scratch.debugLog().find("Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n"
                                      "Completes Calibration ..........r\n"),
              std::string::npos);
    PngImage demo = Shot(scratch, "demo.png");
    ASSERT_EQ(demo.width, 240);
    EXPECT_NE(ClientDifferences(demo, {}, {buttonsArea}), "") << "the strokes are on the pad";
}

}  // namespace

// Taps that the arithmetic could trip over, given through the real qozcal: a
// stroke that wraps its ring to no positions, and taps whose edges coincide.
// Each gives finite settings or keeps the previous ones, and the end event
// still tells the touch driver that the calibration is over.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/calibration_script.h"
#include "tests/support/listener.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace {

// A tap with a pen-down and pen-up `off` pixels from the target and `moves`
// moves exactly on it.
std::string TapWithMoves(Pixel target, int moves, int off) {
    auto at = [](int x, int y) { return std::to_string(x) + " " + std::to_string(y) + "\n"; };
    std::string tap = "down " + at(target.first + off, target.second + off);
    for (int i = 0; i < moves; ++i) tap += "move " + at(target.first, target.second);
    return tap + "up " + at(target.first + off, target.second + off) + "wait 700\n";
}

TEST(WrappingTaps, AverageTheMovesBeforeThePenUpAndGiveTheExactFit) {
    // 255 moves bring the ring back to entry 0 at the pen-up; the pen-down
    // there is overwritten and the pen-up is never averaged, so only the
    // moves, all on the targets, make the samples.
    ScratchEnvironment scratch;
    std::string script = "tap 200 16\nwait 700\n";
    for (const Pixel& target : TapsAtTheTargets()) script += TapWithMoves(target, 255, 12);
    ChildResult run = RunScript(scratch, {.text = script});
    ASSERT_EQ(run.status, 0) << run.error;
    std::vector<std::string> settings = FourSettings(scratch);
    EXPECT_EQ(settings[0], "0.99999");
    EXPECT_EQ(settings[1], "1.00000");
    for (const std::string& offset : {settings[2], settings[3]}) {
        ASSERT_NE(offset, "(missing)");
        EXPECT_LE(std::fabs(std::stod(offset)), 0.00001) << offset;
    }
    EXPECT_NE(scratch.debugLog().find("Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n"),
              std::string::npos)
        << scratch.debugLog();
}

TEST(WrappingTaps, OneMoveMoreAveragesThePenUpSpotAsWell) {
    // 256 moves: entry 0 holds the first move and the pen-up is at entry 1,
    // so one sample is the target itself and the fit stays finite.
    ScratchEnvironment scratch;
    std::string script = "tap 200 16\nwait 700\n";
    for (const Pixel& target : TapsAtTheTargets()) script += TapWithMoves(target, 256, 12);
    ChildResult run = RunScript(scratch, {.text = script});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
    EXPECT_EQ(SettingsText(scratch, "ScaleY"), "1.00000");
}

// Degenerate taps after a good calibration: a listener beside qozcal sees the
// start and the end, and the settings file is left exactly as it was.
class DegenerateTaps : public ::testing::Test {
protected:
    void SetUp() override {
        ChildResult first = RunScript(
            scratch,
            {.text = CalibrationScript({{27, 35}, {215, 34}, {214, 286}, {28, 287}, {120, 160}})});
        ASSERT_EQ(first.status, 0) << first.error;
        before = scratch.registryText();
        ASSERT_EQ(SettingsText(scratch, "ScaleX").substr(0, 2), "1.");
        scratch.clearDebugLog();
    }
    void Calibrate(const TapList& taps) {
        Listener listener(scratch, {"--count", "2", "--timeout", "20000"});
        ASSERT_TRUE(listener.ready());
        ChildResult run = RunScript(scratch, {.text = CalibrationScript(taps)});
        EXPECT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(run.error, "");
        EXPECT_EQ(listener.Finish(), 0);
        listened = listener.Output();
    }

    ScratchEnvironment scratch;
    std::string before;
    std::string listened;
};

const std::string keptLines =
    "Calibrate1Dimension : Degenerate taps - settings kept\r\nCompletes Calibration ..........r\n";

TEST_F(DegenerateTaps, AllAtOnePointKeepTheSettings) {
    Calibrate(TapList(5, {121, 161}));
    EXPECT_EQ(scratch.registryText(), before);
    EXPECT_EQ(scratch.debugLog(), keptLines);
    EXPECT_NE(listened.find("CALSTARTEVENT\n"), std::string::npos) << listened;
    EXPECT_NE(listened.find("CALENDEVENT\nScaleX=" + SettingsText(scratch, "ScaleX") + "\n"),
              std::string::npos)
        << listened;
}

TEST_F(DegenerateTaps, LeftAndRightEdgesTogetherKeepTheSettings) {
    Calibrate({{65, 33}, {65, 33}, {65, 289}, {65, 289}, {121, 161}});  // 64 K_x is a float
    EXPECT_EQ(scratch.registryText(), before);
    EXPECT_EQ(scratch.debugLog(), keptLines);
    EXPECT_NE(listened.find("CALENDEVENT\n"), std::string::npos) << listened;
}

TEST_F(DegenerateTaps, TopAndBottomEdgesTogetherKeepTheSettings) {
    Calibrate({{25, 161}, {217, 161}, {217, 161}, {25, 161}, {121, 161}});
    EXPECT_EQ(scratch.registryText(), before);
    EXPECT_EQ(scratch.debugLog(), keptLines);
    EXPECT_NE(listened.find("CALENDEVENT\n"), std::string::npos) << listened;
}

TEST_F(DegenerateTaps, EdgesTwoPixelsApartAreAFitWithFiniteSettings) {
    // The smallest square of taps that is clearly more than a pixel wide: a
    // very steep fit, but a fit.
    Calibrate({{120, 160}, {122, 160}, {122, 162}, {120, 162}, {121, 161}});
    EXPECT_NE(scratch.registryText(), before);
    for (const std::string& value : FourSettings(scratch)) {
        ASSERT_NE(value, "(missing)");
        EXPECT_TRUE(std::isfinite(std::stod(value))) << value;
    }
    EXPECT_NE(listened.find("CALENDEVENT\n"), std::string::npos) << listened;
}

}  // namespace

// A calibration as the user and the touch driver see it: the marks on the
// screen, the buttons, the debug lines and the settings file.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "tests/support/calibration_script.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/screen_checks.h"
#include "tests/support/settings_values.h"

namespace {

const std::string completionLine = "Completes Calibration ..........r\n";

bool NearZeroSetting(const std::string& text) {
    if (!std::regex_match(text, std::regex("-?[0-9]+\\.[0-9]{5}"))) return false;
    return std::fabs(std::stod(text)) <= 0.00001;
}

TEST(FullCalibration, WritesTheSeedsThenTheFitAndTheCompletionInOrder) {
    ScratchEnvironment scratch;
    ChildResult run = RunScript(scratch, {.script = Scenario("full-calibration.pen")});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(
        scratch.debugLog(),
        kSeedLines + "Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n" + completionLine);
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
    EXPECT_EQ(SettingsText(scratch, "ScaleY"), "1.00000");
    EXPECT_PRED1(NearZeroSetting, SettingsText(scratch, "OffsetX"));
    EXPECT_PRED1(NearZeroSetting, SettingsText(scratch, "OffsetY"));
}

TEST(FullCalibration, ShowsOnlyTheCurrentMarkWhileTheButtonsAreGone) {
    ScratchEnvironment scratch;
    ASSERT_EQ(RunScript(scratch, {.script = Scenario("full-calibration.pen")}).status, 0);
    // The whole client area, buttons' place included, is white but for the
    // mark: (19,27)-(29,37) and (29,27)-(19,37) around target (24,32).
    EXPECT_EQ(ClientDifferences(Shot(scratch, "first-mark.png"), TargetMark(24, 32)), "");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "second-mark.png"), TargetMark(216, 32)), "");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "fifth-mark.png"), TargetMark(120, 160)), "");
}

TEST(FullCalibration, BringsTheButtonsBackAfterTheFifthTap) {
    ScratchEnvironment scratch;
    ASSERT_EQ(RunScript(scratch, {.script = Scenario("full-calibration.pen")}).status, 0);
    PngImage start = Shot(scratch, "start.png");
    PngImage done = Shot(scratch, "done.png");
    EXPECT_NE(ClientDifferences(start, {}), "") << "the buttons are drawn at start";
    EXPECT_EQ(AreaDifferences(done, start, buttonsArea), "");
    EXPECT_EQ(ClientDifferences(done, {}, {buttonsArea}), "") << "no mark is left";
}

TEST(FullCalibration, PaintsTheFifthTapsOwnStrokeOnceThePadIsBack) {
    ScratchEnvironment scratch;
    ChildResult run = RunScript(scratch, {.script = Scenario("fifth-tap-stroke.pen")});
    ASSERT_EQ(run.status, 0) << run.error;
    // The centre sample takes no part in the fit.
    EXPECT_EQ(
        scratch.debugLog(),
        kSeedLines + "Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n" + completionLine);
    // From the first move (screen 125,161) to the lift (125,171), last point
    // not drawn; the pen-down point is not part of the line.
    EXPECT_EQ(ClientDifferences(Shot(scratch, "done.png"), StraightLine({125, 161}, {125, 171}),
                                {buttonsArea}),
              "");
}

TEST(FullCalibration, TakesATapThatCameDuringThePauseAsTheNextTargetsSample) {
    // Each tap comes 200 ms after the one before, while the program still
    // pauses after it: none is lost, and each is the next target's sample.
    // The taps are the documented samples x (30, 200, 200, 30, 115) and
    // y (40, 40, 280, 280, 160).
    ScratchEnvironment scratch;
    TapList taps = {{31, 41}, {201, 41}, {201, 281}, {31, 281}, {116, 161}};
    ChildResult run = RunScript(scratch, {.text = CalibrationScript(taps, false, 200)});
    ASSERT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(scratch.debugLog(),
              kSeedLines + "Calibrate1Dimension : Scale = [112 106] Offset = [-4216 -3413]\r\n" +
                  completionLine);
    EXPECT_EQ(FourSettings(scratch),
              std::vector<std::string>({"1.12940", "1.06667", "-42.16471", "-34.13334"}));
}

// Scripted calibrations whose settings lie next to a rounding, each stored
// exactly as computed (screen pixels; each starts with the button).
struct ScriptedSet {
    const char* what;
    std::string taps;
    std::vector<std::string> settings;  // ScaleX, ScaleY, OffsetX, OffsetY
    const char* line;
};

const ScriptedSet kScriptedSets[] = {
    {"edges less than a pixel apart",
     "tap 101 41\nwait 700\ntap 101 41\nwait 700\ntap 102 281\nwait 700\ntap 101 281\n",
     {"383.99693", "1.06667", "-163738.29688", "-34.13334"},
     "Scale = [38399 106] Offset = [-16373829 -3413]"},
    {"a tap of one move; 921.6 off by 1e-8 gives OFFSETY -9.05024",
     "tap 20 37\nwait 700\ndown 211 30\nmove 223 37\nup 223 37\nwait 700\n"
     "tap 225 287\nwait 700\ntap 32 287\n",
     {"0.98460", "1.01688", "-2.62564", "-9.05025"},
     "Scale = [98 101] Offset = [-262 -905]"},
    {"taps of two moves; the left edge rounded to a float gives another OFFSETX",
     "down 25 39\nmove 25 28\nmove 19 36\nup 19 36\nwait 700\ntap 216 35\nwait 700\n"
     "tap 215 291\nwait 700\ndown 28 295\nmove 19 289\nmove 30 292\nup 30 292\n",
     {"1.00435", "0.99676", "2.41046", "-4.98377"},
     "Scale = [100 99] Offset = [241 -498]"},
};

TEST(FullCalibration, StoresScriptedSetsExactlyAsComputed) {
    for (const ScriptedSet& set : kScriptedSets) {
        SCOPED_TRACE(set.what);
        ScratchEnvironment scratch;
        std::string script = "tap 200 16\nwait 700\n" + set.taps + "wait 700\ntap 121 161\nwait 700\n";
        ChildResult run = RunScript(scratch, {.text = script});
        ASSERT_EQ(run.status, 0) << run.error;
        EXPECT_EQ(scratch.debugLog(), kSeedLines + "Calibrate1Dimension : " + set.line + "\r\n" +
                                          completionLine);
        EXPECT_EQ(FourSettings(scratch), set.settings);
    }
}

TEST(FullCalibration, CentresTheFifthMarkOnATinyScreen) {
    // Targets 0.6 and 5.4 of a 6 x 6 screen: the centre is exactly 3, and
    // its mark runs from (-2,-2) to (8,8).
    ScratchEnvironment scratch;
    std::string script =
        CalibrationScript({{1, 1}, {5, 1}, {5, 5}, {1, 5}}, true) + "shot fifth-mark.png\n";
    ASSERT_EQ(RunScript(scratch, {.text = script, .extra = {"--screen", "6x6"}}).status, 0);
    EXPECT_EQ(ClientDifferences(Shot(scratch, "fifth-mark.png"), TargetMark(3, 3)), "");
}

TEST(StartUp, WritesNoSeedLinesWhenTheSettingsKeyExists) {
    ScratchEnvironment scratch;
    ASSERT_EQ(RunScript(scratch, {.script = Scenario("full-calibration.pen")}).status, 0);
    std::string settings = scratch.registryText();
    scratch.clearDebugLog();

    ChildResult second = RunScript(scratch, {.script = Scenario("look.pen")});
    ASSERT_EQ(second.status, 0) << second.error;
    EXPECT_EQ(scratch.debugLog(), "");
    EXPECT_EQ(scratch.registryText(), settings) << "the calibrated values stay";
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
}

TEST(StartUp, SeedsNeutralSettingsOnFirstStart) {
    ScratchEnvironment scratch;
    ASSERT_EQ(RunScript(scratch, {.script = Scenario("look.pen")}).status, 0);
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "1");
    EXPECT_EQ(SettingsText(scratch, "ScaleY"), "1");
    EXPECT_EQ(SettingsText(scratch, "OffsetX"), "0");
    EXPECT_EQ(SettingsText(scratch, "OffsetY"), "0");
}

// On a 320x240 screen the targets follow the screen while the window stays
// 240x320 at the top-left corner.
class LandscapeScreen : public ::testing::Test {
protected:
    void SetUp() override {
        run = RunScript(scratch, {.script = Scenario("landscape-calibration.pen"),
                                  .extra = {"--screen", "320x240"}});
        ASSERT_EQ(run.status, 0) << run.error;
    }
    ScratchEnvironment scratch;
    ChildResult run;
};

TEST_F(LandscapeScreen, ShowsNoMarkForTargetsBeyondTheWindow) {
    PngImage first = Shot(scratch, "first-mark.png");
    ASSERT_EQ(first.width, 320);
    ASSERT_EQ(first.height, 240);
    EXPECT_EQ(ClientDifferences(first, TargetMark(32, 24)), "");
    // Targets 1 (288,24) and 2 (288,216) lie past the client area's right
    // edge at 237: the user sees an empty window.
    EXPECT_EQ(ClientDifferences(Shot(scratch, "second-mark.png"), {}), "");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "third-mark.png"), {}), "");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "fourth-mark.png"), TargetMark(32, 216)), "");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "fifth-mark.png"), TargetMark(160, 120)), "");
}

TEST_F(LandscapeScreen, IgnoresATapWhereTheHiddenTargetIs) {
    // The tap at target 1's own position reached no window: the program was
    // still waiting for tap 2 afterwards, and four more taps were needed.
    EXPECT_EQ(ClientDifferences(Shot(scratch, "still-second-mark.png"), {}), "");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "fifth-mark.png"), TargetMark(160, 120)), "");
    EXPECT_EQ(scratch.debugLog().find("Calibrate1Dimension"),
              scratch.debugLog().rfind("Calibrate1Dimension"))
        << "one calibration only";
}

TEST_F(LandscapeScreen, CompletesFromTheTapsInsideTheWindow) {
    // Samples x (32, 232, 232, 32) and y (24, 24, 216, 216): the fit stretches
    // x by 200 px of taps for the 192 px its constants expect between 10 % and
    // 90 % of 240, and y by 192 px for 256 px of 320.
    EXPECT_EQ(scratch.debugLog(),
              kSeedLines + "Calibrate1Dimension : Scale = [95 133] Offset = [-2867 0]\r\n" +
                  completionLine);
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.95999");
    EXPECT_EQ(SettingsText(scratch, "ScaleY"), "1.33333");
    EXPECT_EQ(SettingsText(scratch, "OffsetX"), "-28.67200");
    EXPECT_PRED1(NearZeroSetting, SettingsText(scratch, "OffsetY"));
    PngImage done = Shot(scratch, "done.png");
    EXPECT_NE(ClientDifferences(done, {}), "") << "the buttons are back";
    EXPECT_EQ(ClientDifferences(done, {}, {buttonsArea}), "");
}

}  // namespace

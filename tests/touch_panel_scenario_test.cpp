// A misaligned touch panel and the reference touch driver between the pen
// and the program (--panel): where the ink lands relative to the pen before
// and after a calibration, however the calibration was started.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/calibration_script.h"
#include "tests/support/ink_distance.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace {

const std::string misaligned = "dx=12,dy=-9,sx=1.06,sy=0.95";

// Where the Calibration button is reported for this panel with neutral
// settings: the finger at (184, 18) reads as about (200, 16).
const Pixel buttonThroughMisalignedPanel{184, 18};

// One stroke with a pause at each point so that the pad paints every segment,
// then a shot; a calibration before it has erased the pad. The pad draws from
// the first move on, so the pen first moves where it went down.
std::string StrokeAndShot(const PenPath& path, const std::string& shot) {
    std::string script =
        "down " + std::to_string(path[0].first) + " " + std::to_string(path[0].second) + "\n";
    for (const Pixel& point : path)
        script += "move " + std::to_string(point.first) + " " + std::to_string(point.second) +
                  "\nwait 10\n";
    const Pixel& last = path.back();
    script += "up " + std::to_string(last.first) + " " + std::to_string(last.second) + "\n";
    return script + "wait 10\nshot " + shot + "\n";
}

const PenPath firstStroke{{40, 200}, {120, 200}};
const PenPath secondStroke{{40, 250}, {200, 250}, {200, 60}};

InkDistances InkAgainstPen(const ScratchEnvironment& scratch, const std::string& shot,
                           const PenPath& path) {
    return MeasureInk(InkPixels(Shot(scratch, shot), {buttonsArea}), path);
}

// ScaleX x 100 of each calibration, from its debug line.
std::vector<int> ScalesXInHundredths(const std::string& debugLog) {
    std::vector<int> scales;
    std::regex line("Scale = \\[(-?[0-9]+) ");
    for (std::sregex_iterator match(debugLog.begin(), debugLog.end(), line), end; match != end;
         ++match)
        scales.push_back(std::stoi((*match)[1]));
    return scales;
}

ChildResult RunWithPanel(const ScratchEnvironment& scratch, const std::string& panel,
                         const std::string& script) {
    return RunScript(scratch, {.text = script, .extra = {"--panel", panel}});
}

TEST(MisalignedPanel, InkLandsAwayFromThePenUntilACalibrationThenUnderIt) {
    ScratchEnvironment scratch;
    std::string script =
        StrokeAndShot(firstStroke, "before.png") +
        CalibrationScript(TapsAtTheTargets(), false, 700, buttonThroughMisalignedPanel) +
        StrokeAndShot(secondStroke, "after.png");
    ChildResult run = RunWithPanel(scratch, misaligned, script);
    ASSERT_EQ(run.status, 0) << run.error;

    InkDistances before = InkAgainstPen(scratch, "before.png", firstStroke);
    ASSERT_GT(before.inkPixels, 50u);
    EXPECT_GT(before.nearest, 5.0) << "before a calibration no ink is near the pen";

    InkDistances after = InkAgainstPen(scratch, "after.png", secondStroke);
    ASSERT_GT(after.inkPixels, 300u) << "the whole stroke is drawn, the first one erased";
    EXPECT_LE(after.farthest, 1.0) << "after the calibration every ink pixel is under the pen";
    EXPECT_EQ(SettingsText(scratch, "ScaleX").substr(0, 4), "0.94");
    EXPECT_EQ(SettingsText(scratch, "ScaleY").substr(0, 4), "1.05");
}

TEST(MisalignedPanel, AnAlignedPanelWithNeutralSettingsDrawsUnderThePen) {
    ScratchEnvironment scratch;
    ChildResult run =
        RunWithPanel(scratch, "dx=0,dy=0,sx=1,sy=1", StrokeAndShot(secondStroke, "shot.png"));
    ASSERT_EQ(run.status, 0) << run.error;
    InkDistances ink = InkAgainstPen(scratch, "shot.png", secondStroke);
    ASSERT_GT(ink.inkPixels, 300u);
    EXPECT_LT(ink.farthest, 0.01);
}

// A key starts a calibration without the start event: the driver keeps
// delivering positions through the settings it has. On a device still on the
// neutral seeds those are (almost) the raw readings, so the calibration works;
// once the device is calibrated, a key-started calibration samples already
// corrected positions, publishes nearly neutral settings, and the driver's
// readings fall back to the panel's own misalignment.
TEST(MisalignedPanel, AKeyStartedCalibrationWorksOnlyFromTheNeutralSeeds) {
    ScratchEnvironment scratch;
    std::string script =
        CalibrationScript(TapsAtTheTargets(), true) + StrokeAndShot(secondStroke, "first.png") +
        CalibrationScript(TapsAtTheTargets(), true) + StrokeAndShot(firstStroke, "second.png") +
        CalibrationScript(TapsAtTheTargets(), false, 700, {200, 16}) +
        StrokeAndShot(secondStroke, "third.png");
    ChildResult run = RunWithPanel(scratch, misaligned, script);
    ASSERT_EQ(run.status, 0) << run.error;

    InkDistances first = InkAgainstPen(scratch, "first.png", secondStroke);
    ASSERT_GT(first.inkPixels, 300u);
    EXPECT_LE(first.farthest, 1.0);

    InkDistances second = InkAgainstPen(scratch, "second.png", firstStroke);
    ASSERT_GT(second.inkPixels, 50u);
    EXPECT_GT(second.nearest, 5.0);
    std::vector<int> scalesX = ScalesXInHundredths(scratch.debugLog());
    ASSERT_EQ(scalesX.size(), 3u);
    EXPECT_EQ(scalesX[0], 94) << "the panel's gain";
    EXPECT_GE(scalesX[1], 99) << "nearly neutral: the samples were corrected already";
    EXPECT_EQ(scalesX[2], 94);

    // The Calibration button, tapped where the panel now reports it, puts
    // things right again.
    InkDistances third = InkAgainstPen(scratch, "third.png", secondStroke);
    ASSERT_GT(third.inkPixels, 300u);
    EXPECT_LE(third.farthest, 1.0);
}

}  // namespace

// The pen pad as the user sees it: strokes stay until erased, the buttons
// keep the pen and the keyboard to themselves, and "종료" ends the program.
#include <gtest/gtest.h>

#include "tests/support/calibration_events.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/screen_checks.h"
#include "tests/support/settings_values.h"

namespace {

PixelSet Union(PixelSet a, const PixelSet& b) {
    a.insert(b.begin(), b.end());
    return a;
}

TEST(PadStrokes, StayTogetherUntilEraseClearsThem) {
    ScratchEnvironment scratch;
    ChildResult run = RunScript(scratch, {.script = Scenario("pad-strokes.pen")});
    ASSERT_EQ(run.status, 0) << run.error;
    PngImage start = Shot(scratch, "start.png");
    // Each line runs from the stroke's first move to its lift; the pen-down
    // point (40,100) and the segment to the first move are not drawn.
    PixelSet both =
        Union(StraightLine({60, 100}, {180, 100}), StraightLine({100, 160}, {100, 250}));
    PngImage strokes = Shot(scratch, "strokes.png");
    EXPECT_EQ(ClientDifferences(strokes, both, {buttonsArea}), "");
    EXPECT_EQ(AreaDifferences(strokes, start, buttonsArea), "");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "erased.png"), {}, {buttonsArea}), "");
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
}

TEST(PadStrokes, RecordNothingFromAPenThatWentDownOnAButton) {
    ScratchEnvironment scratch;
    ChildResult run = RunScript(scratch, {.script = Scenario("button-drag.pen")});
    ASSERT_EQ(run.status, 0) << run.error;
    // Only the first stroke shows: the drag drew nothing, and lifting the pen
    // away from "삭제" did not erase.
    EXPECT_EQ(ClientDifferences(Shot(scratch, "dragged.png"), StraightLine({50, 200}, {150, 200}),
                                {buttonsArea}),
              "");
}

TEST(PadStrokes, LeaveOutMovesOverAButton) {
    ScratchEnvironment scratch;
    ChildResult run = RunScript(scratch, {.script = Scenario("moves-over-button.pen")});
    ASSERT_EQ(run.status, 0) << run.error;
    // The line goes straight from (50,60) to (200,60): the two positions over
    // "삭제" never reached the pad.
    EXPECT_EQ(ClientDifferences(Shot(scratch, "wandered.png"), StraightLine({50, 60}, {200, 60}),
                                {buttonsArea}),
              "");
}

TEST(PadStrokes, LeaveOutMovesOffTheWindow) {
    ScratchEnvironment scratch;
    ChildResult run = RunScript(
        scratch, {.script = Scenario("moves-off-window.pen"), .extra = {"--screen", "320x400"}});
    ASSERT_EQ(run.status, 0) << run.error;
    PngImage wandered = Shot(scratch, "wandered.png");
    ASSERT_EQ(wandered.width, 320);
    // (50,100) to (200,100), then straight down to (200,150): the moves at
    // x 300 were outside the window, so nothing runs toward them.
    PixelSet expected =
        Union(StraightLine({50, 100}, {200, 100}), StraightLine({200, 100}, {200, 150}));
    EXPECT_EQ(ClientDifferences(wandered, expected, {buttonsArea}), "");
}

TEST(FocusedEraseButton, IgnoresOtherKeysAndErasesOnSpace) {
    ScratchEnvironment scratch;
    ChildResult run = RunScript(scratch, {.script = Scenario("erase-focus-keys.pen")});
    ASSERT_EQ(run.status, 0) << run.error;
    PngImage stroke = Shot(scratch, "stroke.png");
    EXPECT_EQ(ClientDifferences(stroke, StraightLine({50, 200}, {150, 200}), {buttonsArea}), "");
    // "a" goes to the focused button, which ignores it: no calibration starts.
    PngImage afterA = Shot(scratch, "after-a.png");
    EXPECT_EQ(afterA.pixels, stroke.pixels);
    // The space bar presses "삭제" again: the pad is erased, the buttons stay.
    PngImage afterSpace = Shot(scratch, "after-space.png");
    EXPECT_EQ(ClientDifferences(afterSpace, {}, {buttonsArea}), "");
    EXPECT_EQ(AreaDifferences(afterSpace, stroke, buttonsArea), "");
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
}

TEST(ExitButton, EndsTheProgramAtOnceAndNothingQueuedBehindItIsHandled) {
    ScratchEnvironment scratch;
    // Held open here, a set event stays pending after the program has ended.
    CalibrationEvents held;
    ASSERT_NE(held.start, nullptr);
    ASSERT_NE(held.end, nullptr);
    ChildResult run = RunScript(scratch, {.script = Scenario("exit-button.pen")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, "");
    EXPECT_FALSE(std::filesystem::exists(scratch.dir() / "never.png"));
    EXPECT_FALSE(std::filesystem::exists(scratch.dir() / "never-either.png"));
    // The calibration sent right after the tap on "종료" never ran.
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
    EXPECT_EQ(FourSettings(scratch), (std::vector<std::string>{"1", "1", "0", "0"}));
    EXPECT_FALSE(WasSet(held.start));
    EXPECT_FALSE(WasSet(held.end));
}

}  // namespace

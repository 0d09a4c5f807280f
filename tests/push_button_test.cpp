// The push buttons' look: frames, captions from a real font with Hangul
// glyphs, the pushed-in look, and the single warning when no font exists.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "platform/host/gdi32/caption_font.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/window_system_test.h"

namespace {

struct ButtonBox {
    int left, top, right, bottom;  // screen pixels, right and bottom excluded
    int centreX;
};
// The client area starts at (1, 1) and ends at 239; the Calibration button is
// cut at its right edge, but its caption is centred on all of the button.
constexpr ButtonBox Box(int left, int width) {
    return {1 + left, 1 + TOOL_BUTTON_TOP, std::min(1 + left + width, 239),
            1 + TOOL_BUTTON_TOP + TOOL_BUTTON_HEIGHT, 1 + left + width / 2};
}
constexpr ButtonBox kErase = Box(ERASE_BUTTON_LEFT, ERASE_BUTTON_WIDTH);
constexpr ButtonBox kExit = Box(EXIT_BUTTON_LEFT, EXIT_BUTTON_WIDTH);
constexpr ButtonBox kCalibrate = Box(CALIBRATE_BUTTON_LEFT, CALIBRATE_BUTTON_WIDTH);

// What lies inside the frame and differs from the face colour: the caption.
struct Ink {
    int count = 0, dark = 0;
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    std::string pattern;
};

Ink InkInside(const ButtonBox& box, uint32_t face) {
    Ink ink;
    for (int y = box.top + 1; y < box.bottom - 1; ++y) {
        for (int x = box.left + 1; x < box.right - 1; ++x) {
            uint32_t pixel = PixelAt(x, y);
            ink.pattern += pixel != face ? '#' : '.';
            if (pixel == face) continue;
            ++ink.count;
            ink.dark += (pixel & 0xFF) < 0x80;  // grey levels: blue tells them all
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
        }
    }
    return ink;
}

void ExpectFrame(const ButtonBox& box) {
    for (int x = box.left; x < box.right; ++x) {
        EXPECT_EQ(PixelAt(x, box.top), black) << x;
        EXPECT_EQ(PixelAt(x, box.bottom - 1), black) << x;
    }
    for (int y = box.top; y < box.bottom; ++y) EXPECT_EQ(PixelAt(box.left, y), black) << y;
}

class PushButtonTest : public WindowSystemTest {
protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        qoz::host::ForgetCaptionFontForTesting();
    }
    void TearDown() override {
        if (fontsHidden) unsetenv("FONTCONFIG_FILE");
        qoz::host::ForgetCaptionFontForTesting();
        WindowSystemTest::TearDown();
    }
    // Points fontconfig at a configuration that lists no fonts at all.
    void HideAllFonts() {
        ASSERT_EQ(std::getenv("FONTCONFIG_FILE"), nullptr);
        std::string configuration =
            scratch.writeFile("fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
        setenv("FONTCONFIG_FILE", configuration.c_str(), 1);
        fontsHidden = true;
    }
    ScratchEnvironment scratch;
    bool fontsHidden = false;
};

TEST_F(PushButtonTest, FramesAndCentredCaptionsAreDrawn) {
    CreateProgramWindows();
    testing::internal::CaptureStderr();
    RunLoopUntilIdle();
    std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(warnings.find("qozcal:"), std::string::npos) << warnings;
    for (const ButtonBox& box : {kErase, kExit, kCalibrate}) {
        ExpectFrame(box);
        Ink ink = InkInside(box, white);
        EXPECT_GT(ink.dark, 10) << box.left;
        EXPECT_GT(ink.count, ink.dark) << box.left;  // anti-aliased edges
        EXPECT_NEAR((ink.left + ink.right + 1) / 2.0, box.centreX, 2.0) << box.left;
        EXPECT_NEAR((ink.top + ink.bottom + 1) / 2.0, (box.top + box.bottom) / 2.0, 3.0);
        EXPECT_GE(ink.bottom - ink.top, 7) << box.left;  // about 11-12 pixel glyphs
    }
    // Different captions make different ink: real glyphs, not fallback boxes.
    EXPECT_NE(InkInside(kErase, white).pattern, InkInside(kExit, white).pattern);
    auto sak = qoz::host::RenderCaption(u"삭", 28, 28);
    auto je = qoz::host::RenderCaption(u"제", 28, 28);
    ASSERT_TRUE(sak && je);
    EXPECT_NE(sak->coverage, je->coverage);
    EXPECT_FALSE(qoz::host::RenderCaption(u"Calibration", 20, 28));  // too narrow at any size
}

TEST_F(PushButtonTest, PushedLookIsInverted) {
    CreateProgramWindows();
    ScriptedInput input;
    qoz::host::SetInputSource(&input);
    RunLoopUntilIdle();
    const int face = InkInside(kExit, black).count;
    input.arrived.push_back(qoz::host::RawInput::Pen(qoz::host::PenAction::Down, 145, 16));
    RunLoopUntilIdle();
    Ink light = InkInside(kExit, black);  // now only the caption is not black
    EXPECT_GT(light.count, 10);
    EXPECT_LT(light.count, face / 2);
    EXPECT_EQ(PixelAt(kErase.left + 2, kErase.top + 2), white);  // the others stay
}

TEST_F(PushButtonTest, WithoutAFontFramesAreDrawnAndOneWarningIsPrinted) {
    HideAllFonts();
    ProgramWindows windows = CreateProgramWindows();
    testing::internal::CaptureStderr();
    RunLoopUntilIdle();
    for (HWND button : {windows.erase, windows.exit, windows.calibrate}) {
        InvalidateRect(button, nullptr, TRUE);
        UpdateWindow(button);
    }
    std::string warnings = testing::internal::GetCapturedStderr();
    const std::string expected =
        "qozcal: no font with Hangul glyphs found (install fonts-nanum); buttons are drawn "
        "without captions\n";
    size_t first = warnings.find(expected);
    ASSERT_NE(first, std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("qozcal:", first + 1), std::string::npos) << warnings;
    for (const ButtonBox& box : {kErase, kExit, kCalibrate}) {
        ExpectFrame(box);
        EXPECT_EQ(InkInside(box, white).count, 0) << box.left;
    }
}

}  // namespace

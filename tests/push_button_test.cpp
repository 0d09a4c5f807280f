// The push buttons' look: frames, captions from a real font with Hangul
// glyphs, the pushed-in look, and the single warning when no font exists.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/host/caption_font.h"
#include "window_test_support.h"

using qoz::host::PenAction;
using qoz::host::RawInput;

namespace {

struct ButtonBox {
    int left, top, right, bottom;  // screen pixels, right and bottom excluded
};
// The main window's client area starts at (1, 1); the Calibration button is
// cut at the client area's right edge (x 239 is the main window's border).
constexpr ButtonBox kErase{101, 2, 131, 32};
constexpr ButtonBox kExit{131, 2, 161, 32};
constexpr ButtonBox kCalibrate{161, 2, 239, 32};

bool IsDark(uint32_t pixel) {
    return ((pixel >> 16) & 0xFF) < 0x80 && ((pixel >> 8) & 0xFF) < 0x80 && (pixel & 0xFF) < 0x80;
}

// The caption's pixels: those inside the frame that are not the face colour.
struct Ink {
    int count = 0;
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    std::string pattern;
};

Ink InkInside(const ButtonBox& box, uint32_t face) {
    Ink ink;
    for (int y = box.top + 1; y < box.bottom - 1; ++y) {
        for (int x = box.left + 1; x < box.right - 1; ++x) {
            bool inked = PixelAt(x, y) != face;
            ink.pattern += inked ? '#' : '.';
            if (!inked) continue;
            ++ink.count;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
        }
    }
    return ink;
}

int DarkCount(const ButtonBox& box) {
    int count = 0;
    for (int y = box.top + 1; y < box.bottom - 1; ++y)
        for (int x = box.left + 1; x < box.right - 1; ++x) count += IsDark(PixelAt(x, y));
    return count;
}

void ExpectFrame(const ButtonBox& box) {
    for (int x = box.left; x < box.right; ++x) {
        EXPECT_EQ(PixelAt(x, box.top), kBlackPixel) << x;
        EXPECT_EQ(PixelAt(x, box.bottom - 1), kBlackPixel) << x;
    }
    for (int y = box.top; y < box.bottom; ++y) EXPECT_EQ(PixelAt(box.left, y), kBlackPixel) << y;
}

class PushButtonTest : public WindowSystemTest {
protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        qoz::host::ForgetCaptionFontForTesting();
    }
    void TearDown() override {
        if (const char* saved = savedFontConfig ? savedFontConfig->c_str() : nullptr)
            setenv("FONTCONFIG_FILE", saved, 1);
        else
            unsetenv("FONTCONFIG_FILE");
        if (!fontDirectory.empty()) std::filesystem::remove_all(fontDirectory);
        qoz::host::ForgetCaptionFontForTesting();
        WindowSystemTest::TearDown();
    }

    // Points fontconfig at a configuration that lists no fonts at all.
    void HideAllFonts() {
        if (const char* current = std::getenv("FONTCONFIG_FILE")) savedFontConfig = current;
        fontDirectory = std::filesystem::temp_directory_path() /
                        ("qozcal-no-fonts-" + std::to_string(getpid()));
        std::filesystem::create_directories(fontDirectory);
        std::ofstream(fontDirectory / "fonts.conf")
            << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
        setenv("FONTCONFIG_FILE", (fontDirectory / "fonts.conf").c_str(), 1);
    }

    void Repaint(const ProgramWindows& windows) {
        for (HWND button : {windows.erase, windows.exit, windows.calibrate}) {
            InvalidateRect(button, nullptr, TRUE);
            UpdateWindow(button);
        }
    }

    std::optional<std::string> savedFontConfig;
    std::filesystem::path fontDirectory;
};

TEST_F(PushButtonTest, FramesAndCentredCaptionsAreDrawn) {
    CreateProgramWindows();
    testing::internal::CaptureStderr();
    RunMessageLoop();
    std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(warnings.find("qozcal:"), std::string::npos) << warnings;

    for (const ButtonBox& box : {kErase, kExit, kCalibrate}) {
        ExpectFrame(box);
        Ink ink = InkInside(box, kWhitePixel);
        EXPECT_GT(DarkCount(box), 10) << box.left;
        // Centred: equal margins within a pixel or two.
        int width = box.right - box.left;
        if (box.left == kCalibrate.left) width = 80;  // centred on the whole button
        int centreX = box.left + width / 2;
        int centreY = (box.top + box.bottom) / 2;
        EXPECT_NEAR((ink.left + ink.right + 1) / 2.0, centreX, 2.0) << box.left;
        EXPECT_NEAR((ink.top + ink.bottom + 1) / 2.0, centreY, 3.0) << box.left;
        // It fits inside the frame with room to spare.
        EXPECT_GT(ink.left, box.left + 1);
        EXPECT_LT(ink.right, box.right - 2);
    }
    // Different captions make different ink, so real glyphs were drawn.
    EXPECT_NE(InkInside(kErase, kWhitePixel).pattern, InkInside(kExit, kWhitePixel).pattern);
    EXPECT_GT(InkInside(kCalibrate, kWhitePixel).right - InkInside(kCalibrate, kWhitePixel).left,
              40);
}

TEST_F(PushButtonTest, HangulGlyphsComeFromTheFontNotAFallbackBox) {
    auto sak = qoz::host::RenderCaption(u"삭", 28, 28);
    auto je = qoz::host::RenderCaption(u"제", 28, 28);
    ASSERT_TRUE(sak && je);
    EXPECT_GE(sak->height, 11);
    EXPECT_LE(sak->height, 28);
    EXPECT_NE(sak->coverage, je->coverage);
    // Anti-aliased: some partial coverage between none and full.
    bool partial = false;
    for (uint8_t value : sak->coverage) partial = partial || (value > 0 && value < 255);
    EXPECT_TRUE(partial);
    EXPECT_FALSE(qoz::host::RenderCaption(u"", 28, 28));
    EXPECT_FALSE(qoz::host::RenderCaption(u"Calibration", 20, 28));  // too narrow at any size
}

TEST_F(PushButtonTest, PushedLookIsInverted) {
    CreateProgramWindows();
    ScriptedInput input;
    qoz::host::SetInputSource(&input);
    RunMessageLoop();
    const int whiteBefore = InkInside(kExit, kBlackPixel).count;  // face pixels
    input.arrived.push_back(RawInput::Pen(PenAction::Down, 145, 16));
    RunMessageLoop();
    Ink pushed = InkInside(kExit, kBlackPixel);  // now everything not black
    EXPECT_GT(pushed.count, 10);
    EXPECT_LT(pushed.count, whiteBefore / 2);  // only the caption is light
    EXPECT_EQ(PixelAt(kExit.left + 2, kExit.top + 2), kBlackPixel);
    // The other buttons keep their normal look.
    EXPECT_EQ(PixelAt(kErase.left + 2, kErase.top + 2), kWhitePixel);
    input.arrived.push_back(RawInput::Pen(PenAction::Up, 145, 16));
    RunMessageLoop();
    EXPECT_EQ(PixelAt(kExit.left + 2, kExit.top + 2), kWhitePixel);
}

TEST_F(PushButtonTest, WithoutAFontFramesAreDrawnAndOneWarningIsPrinted) {
    HideAllFonts();
    ProgramWindows windows = CreateProgramWindows();
    testing::internal::CaptureStderr();
    RunMessageLoop();
    Repaint(windows);
    Repaint(windows);
    std::string warnings = testing::internal::GetCapturedStderr();

    const std::string expected =
        "qozcal: no font with Hangul glyphs found (install fonts-nanum); buttons are drawn "
        "without captions\n";
    size_t first = warnings.find(expected);
    ASSERT_NE(first, std::string::npos) << warnings;
    EXPECT_EQ(warnings.find("qozcal:", first + 1), std::string::npos) << warnings;
    for (const ButtonBox& box : {kErase, kExit, kCalibrate}) {
        ExpectFrame(box);
        EXPECT_EQ(InkInside(box, kWhitePixel).count, 0) << box.left;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "calibration/calibrate.h"
#include "calibration/targets.h"
#include "platform/common/utf16.h"
#include "settings/calibration_events.h"
#include "settings/settings_store.h"
#include "tests/support/call_trace.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"

namespace {

std::string Text(const char16_t* name) {
    StoredValue value = QueryQozSerialValue(name);
    if (!value.present) return "(missing)";
    return qoz::Utf16ToUtf8(value.text);
}

class Calibrate : public ::testing::Test {
protected:
    void SetUp() override {
        scaleX = scaleY = 1.0f;
        offsetX = offsetY = 0.0f;
        InitQOZCalRegistry();
        CreateCalibrationEvents();
        endListener = CreateEventW(nullptr, FALSE, FALSE, u"CALENDEVENT");
        ASSERT_NE(endListener, nullptr);
        scratch.clearDebugLog();
        ClearCallTrace();
    }
    void TearDown() override { CloseHandle(endListener); }

    bool EndEventWasSet() { return WaitForSingleObject(endListener, 0) == WAIT_OBJECT_0; }

    ScratchEnvironment scratch;
    HANDLE endListener = nullptr;
};

TEST_F(Calibrate, DocumentedSampleSetGivesTheDocumentedTextsAndLine) {
    const float x[] = {30, 200, 200, 30, 115};
    const float y[] = {40, 40, 280, 280, 160};
    Calibrate1Dimension(x, y);

    EXPECT_EQ(Text(u"ScaleX"), "1.12940");
    EXPECT_EQ(Text(u"ScaleY"), "1.06667");
    EXPECT_EQ(Text(u"OffsetX"), "-42.16471");
    EXPECT_EQ(Text(u"OffsetY"), "-34.13334");
    EXPECT_EQ(QueryQozSerialValue(u"OFFSETX").size, 18u);
    EXPECT_EQ(QueryQozSerialValue(u"OFFSETX").type, (DWORD)REG_SZ);
    EXPECT_EQ(scratch.debugLog(),
              "Calibrate1Dimension : Scale = [112 106] Offset = [-4216 -3413]\r\n");
    EXPECT_TRUE(EndEventWasSet());
    EXPECT_FALSE(EndEventWasSet()) << "automatic reset: one set releases one wait";
}

TEST_F(Calibrate, SamplesExactlyAtThePortraitTargetsGiveAnAlmostNeutralFit) {
    LayOutTargets(240.0f, 320.0f);
    Calibrate1Dimension(targetX, targetY);

    EXPECT_EQ(Text(u"ScaleX"), "0.99999");
    EXPECT_EQ(Text(u"ScaleY"), "1.00000");
    EXPECT_EQ(Text(u"OffsetX"), "-0.00000") << "a tiny negative offset keeps its sign";
    EXPECT_EQ(Text(u"OffsetY"), "0.00000");
    EXPECT_EQ(scratch.debugLog(), "Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n");
}

// Sample sets whose texts lie next to a rounding of their fifth decimal, so
// that each width the arithmetic keeps decides a digit. Samples such as
// 644 / 3 are what a tap of three positions averages to.
struct BoundarySet {
    const char* near;  // the arithmetic the set tells apart, and what it would store
    float x[TARGET_COUNT];
    float y[TARGET_COUNT];
    const char* texts[4];  // SCALEX, SCALEY, OFFSETX, OFFSETY
    const char* line;
};

const BoundarySet kBoundarySets[] = {
    {"SCALEX from the scale rounded to a float: 0.98020",
     {31.5, 227.5, 225.5, 29.75},
     {40, 40, 280, 280},
     {"0.98021", "1.06667", "-25.68169", "-34.13334"},
     "Scale = [98 106] Offset = [-2568 -3413]"},
    {"SCALEX from the rounded scale: 1.02421; edges summed in float: OFFSETY 10.83171",
     {34, 221.5, 644.0 / 3, 27.25},
     {21, 38, 886.0 / 3, 291.5},
     {"1.02422", "0.97000", "-31.43240", "10.83170"},
     "Scale = [102 97] Offset = [-3143 1083]"},
    {"SCALEY from the unrounded scale: 1.01571; edges summed in float: OFFSETX 13.33755",
     {24.5, 215.75, 653.0 / 3, 18},
     {33.5, 31.25, 868.0 / 3, 279.5},
     {"0.98229", "1.01570", "13.33754", "-2.82704"},
     "Scale = [98 101] Offset = [1333 -282]"},
    {"OFFSETX from the unrounded offset: -36.75178",
     {27, 214, 213, 35},
     {37, 31, 295, 296},
     {"1.05204", "0.97897", "-36.75179", "-4.11166"},
     "Scale = [105 97] Offset = [-3675 -411]"},
    {"819.2 or 921.6 off by 1e-7 either way: OFFSETX 6.14934 or OFFSETY -22.75555",
     {18, 213, 215, 27},
     {40, 37, 290, 291},
     {"1.00260", "1.01587", "6.14935", "-22.75556"},
     "Scale = [100 101] Offset = [614 -2275]"},
    {"edges exactly a pixel apart taken for degenerate taps: nothing stored",
     {1, 2, 2, 1},
     {1, 1, 2, 2},
     {"191.99765", "256.00000", "-716.79999", "-716.79999"},
     "Scale = [19199 25600] Offset = [-71679 -71679]"},
    {"edges less than a pixel apart taken for degenerate taps: nothing stored",
     {100, 100, 101, 100},
     {40, 40, 280, 280},
     {"383.99693", "1.06667", "-163738.29688", "-34.13334"},
     "Scale = [38399 106] Offset = [-16373829 -3413]"},
    {"a scale past the int range: the line saturates at both ends of it",
     {5, 5, 5, 5},
     {40, 40, 280, 280},
     {"858993459.20000", "1.06667", "-18325417984.00000", "-34.13334"},
     "Scale = [2147483647 106] Offset = [-2147483648 -3413]"},
    {"ScaleX exactly 384: its hundredfold in the line is exact, not one less",
     {98.75, 141.25, 187, 228.5},
     {191.75, 267.25, 160.75, 142.75},
     {"384.00000", "-3.29260", "-267984.09375", "2520.48877"},
     "Scale = [38400 -329] Offset = [-26798409 252048]"},
    {"OffsetX exactly -38641: its hundredfold in the line is exact, not one less",
     {214.25, 189.25, 221.25, 187.75},
     {197.5, 283.25, 183.75, 94},
     {"45.17599", "-2.52217", "-38641.00000", "2042.45117"},
     "Scale = [4517 -252] Offset = [-3864100 204245]"},
    {"OffsetY exactly 120159.5: its hundredfold in the line is exact, not one less",
     {192.5, 7.25, 177.25, 90.25},
     {104.75, 225, 269.75, 57.75},
     {"-3.90835", "-227.55324", "2459.94507", "120159.50000"},
     "Scale = [-390 -22755] Offset = [245994 12015950]"},
    {"819.2 off by 1e-8: OFFSETY -0.00000",
     {25, 217, 219, 32},
     {40, 25, 291, 294},
     {"1.01318", "0.98462", "-20.80422", "0.00000"},
     "Scale = [101 98] Offset = [-2080 0]"},
};

TEST_F(Calibrate, TextsNextToARoundingFollowTheWidthsOfTheArithmetic) {
    for (const BoundarySet& set : kBoundarySets) {
        SCOPED_TRACE(set.near);
        scratch.clearDebugLog();
        Calibrate1Dimension(set.x, set.y);
        EXPECT_EQ(Text(u"ScaleX"), set.texts[0]);
        EXPECT_EQ(Text(u"ScaleY"), set.texts[1]);
        EXPECT_EQ(Text(u"OffsetX"), set.texts[2]);
        EXPECT_EQ(Text(u"OffsetY"), set.texts[3]);
        EXPECT_EQ(scratch.debugLog(), "Calibrate1Dimension : " + std::string(set.line) + "\r\n");
    }
}

// A touch driver woken by the end event finds all four values written.
TEST_F(Calibrate, PublishesTheFourValuesThenSignalsTheEndThenWritesTheLine) {
    const float x[] = {30, 200, 200, 30, 115};
    const float y[] = {40, 40, 280, 280, 160};
    Calibrate1Dimension(x, y);
    EXPECT_EQ(CallTrace({"RegSetValueExW", "EventModify", "debug"}),
              (std::vector<std::string>{
                  "RegSetValueExW SCALEX 1.12940", "RegSetValueExW SCALEY 1.06667",
                  "RegSetValueExW OFFSETX -42.16471", "RegSetValueExW OFFSETY -34.13334",
                  "EventModify CALENDEVENT set",
                  "debug Calibrate1Dimension : Scale = [112 106] Offset = [-4216 -3413]"}));
}

TEST_F(Calibrate, TheCentreSampleTakesNoPart) {
    float x[] = {30, 200, 200, 30, 115};
    float y[] = {40, 40, 280, 280, 160};
    Calibrate1Dimension(x, y);
    std::string first = scratch.registryText();
    x[4] = 1;
    y[4] = 65535;
    Calibrate1Dimension(x, y);
    EXPECT_EQ(scratch.registryText(), first);
    EXPECT_NEAR(scaleX, 1.1294, 1e-5);
}

TEST_F(Calibrate, SwappedPairsGiveNegativeScalesThatAreStoredLikeAnyOthers) {
    const float x[] = {200, 30, 30, 200, 115};
    const float y[] = {280, 280, 40, 40, 160};
    Calibrate1Dimension(x, y);
    EXPECT_LT(scaleX, 0.0f);
    EXPECT_LT(scaleY, 0.0f);
    EXPECT_EQ(Text(u"ScaleX"), "-1.12940");
    EXPECT_EQ(Text(u"ScaleY"), "-1.06667");
}

TEST_F(Calibrate, StoredTextsComeFromTheUnroundedScaleXAndTheRoundedOthers) {
    const float x[] = {31, 211, 209, 29, 0};
    const float y[] = {33, 35, 290, 284, 0};
    Calibrate1Dimension(x, y);
    double r = (float)((211.0 + 209.0) * 0.5 * (double)4.266719f);
    double l = (31.0 + 29.0) * 0.5 * (double)4.266719f;
    double fitScaleX = 819.2 / (r - l);
    char expected[64];
    snprintf(expected, sizeof expected, "%.5f", fitScaleX);
    EXPECT_EQ(Text(u"ScaleX"), expected);
    snprintf(expected, sizeof expected, "%.5f", (double)(float)(921.6 - fitScaleX * r));
    EXPECT_EQ(Text(u"OffsetX"), expected);
}

// Edges that coincide leave nothing to divide by: the driver keeps the
// settings it has, and the end event still tells it that calibration is over.
TEST_F(Calibrate, CoincidingEdgesKeepThePreviousSettingsAndStillSignalTheEnd) {
    const float good[] = {30, 200, 200, 30, 115};
    const float goodY[] = {40, 40, 280, 280, 160};
    Calibrate1Dimension(good, goodY);
    ASSERT_TRUE(EndEventWasSet());
    std::string before = scratch.registryText();
    scratch.clearDebugLog();

    const float zeroX[] = {0, 0, 0, 0, 0};          // R = L = 0
    const float sameX[] = {64, 64, 64, 64, 64};     // R = L: 64 K_x is a float
    const float sameY[] = {50, 50, 50, 50, 50};     // B = T
    Calibrate1Dimension(zeroX, goodY);
    EXPECT_TRUE(EndEventWasSet());
    Calibrate1Dimension(sameX, goodY);
    EXPECT_TRUE(EndEventWasSet());
    Calibrate1Dimension(good, sameY);
    EXPECT_TRUE(EndEventWasSet());

    EXPECT_EQ(scratch.registryText(), before);
    EXPECT_NEAR(scaleX, 1.1294, 1e-5);
    EXPECT_NEAR(offsetY, -34.13334, 1e-4);
    std::string line = "Calibrate1Dimension : Degenerate taps - settings kept\r\n";
    EXPECT_EQ(scratch.debugLog(), line + line + line);
}

TEST_F(Calibrate, EdgesTwoPixelsApartAreStoredAndTheLineSaturatesInsteadOfOverflowing) {
    const float x[] = {65533, 65535, 65535, 65533, 0};
    const float y[] = {0, 0, 65535, 65535, 0};
    Calibrate1Dimension(x, y);
    std::string scale = Text(u"ScaleX");
    ASSERT_NE(scale, "(missing)");
    EXPECT_NEAR(std::stod(scale), 819.2 / (2 * 4.266719), 0.5);
    EXPECT_TRUE(std::isfinite(std::stod(Text(u"OffsetX"))));
    // offsetX is about -2.7e7; a hundred times that does not fit an int.
    EXPECT_EQ(scratch.debugLog().rfind("Calibrate1Dimension : Scale = [", 0), 0u)
        << scratch.debugLog();
    EXPECT_NE(scratch.debugLog().find("Offset = [-2147483648 "), std::string::npos)
        << scratch.debugLog();
}

TEST_F(Calibrate, FailedWritesAreSilentAndTheEndIsStillSignalled) {
    std::filesystem::remove(scratch.registryPath());  // the key is gone
    const float x[] = {30, 200, 200, 30, 115};
    const float y[] = {40, 40, 280, 280, 160};
    Calibrate1Dimension(x, y);
    EXPECT_EQ(Text(u"ScaleX"), "(missing)");
    EXPECT_TRUE(EndEventWasSet());
    EXPECT_EQ(scratch.debugLog(),
              "Calibrate1Dimension : Scale = [112 106] Offset = [-4216 -3413]\r\n");
}

}  // namespace

// The simulated touch panel's readings and the reference driver's mapping
// from readings to screen pixels, in the test's own process.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/host/simulator/reference_driver.h"
#include "platform/host/simulator/touch_panel.h"
#include "tests/support/calibration_events.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"

namespace {

using namespace qoz::sim;

std::string ParseError(std::string_view text) {
    PanelModel model;
    std::string error;
    return ParsePanelModel(text, model, error) ? "(accepted)" : error;
}

TEST(PanelModelText, TakesTheFourTermsAndTheOptionalOnes) {
    PanelModel model;
    std::string error;
    ASSERT_TRUE(ParsePanelModel("dx=12,dy=-9,sx=1.06,sy=0.95", model, error)) << error;
    EXPECT_EQ(model.dx, 12);
    EXPECT_EQ(model.dy, -9);
    EXPECT_EQ(model.sx, 1.06);
    EXPECT_EQ(model.sy, 0.95);
    EXPECT_EQ(model.rotationDegrees, 0);
    EXPECT_EQ(model.noisePixels, 0);
    ASSERT_TRUE(ParsePanelModel("dx=0,dy=0,sx=1,sy=1,rot=-1.5,noise=0.5,seed=42", model, error));
    EXPECT_EQ(model.rotationDegrees, -1.5);
    EXPECT_EQ(model.noisePixels, 0.5);
    EXPECT_EQ(model.seed, 42u);

    EXPECT_NE(ParseError("dx=12,dy=-9,sx=1.06"), "(accepted)");
    EXPECT_NE(ParseError("dx=12,dy=-9,sx=1.06,sy=0.95,"), "(accepted)");
    EXPECT_NE(ParseError("dx=12,dx=1,dy=-9,sx=1.06,sy=0.95"), "(accepted)");
    EXPECT_NE(ParseError("dx=12,dy=-9,sx=0,sy=0.95"), "(accepted)");
    EXPECT_NE(ParseError("dx=12,dy=-9,sx=1,sy=1,noise=-1"), "(accepted)");
    EXPECT_NE(ParseError("dx=12,dy=-9,sx=1,sy=1,seed=1.5"), "(accepted)");
    EXPECT_NE(ParseError("dx=nan,dy=-9,sx=1,sy=1"), "(accepted)");
    EXPECT_NE(ParseError("dx=1,dy=2,sx=1,sy=1,tilt=3"), "(accepted)");
}

TEST(TouchPanelReading, MisplacesAboutTheCentreInPanelUnitsAndClamps) {
    TouchPanel panel({.dx = 12, .dy = -9, .sx = 1.06, .sy = 0.95}, 240, 320);
    // (217, 33): 120 + 97 * 1.06 + 12 = 234.82 px, 160 - 127 * 0.95 - 9 = 30.35 px.
    PanelReading reading = panel.Read(217, 33);
    EXPECT_EQ(reading.x, std::lround(234.82 * 1024 / 240));
    EXPECT_EQ(reading.y, std::lround(30.35 * 1024 / 320));
    EXPECT_EQ(panel.Read(-50, 400).x, 0);
    EXPECT_EQ(panel.Read(-50, 400).y, 1023);

    TouchPanel turned({.sx = 1, .sy = 1, .rotationDegrees = 90}, 240, 320);
    reading = turned.Read(130, 160);  // 10 px right of the centre turns to 10 px below it
    EXPECT_EQ(reading.x, 512);
    EXPECT_EQ(reading.y, std::lround(170.0 * 1024 / 320));
}

TEST(TouchPanelReading, NoiseIsSeededAndHasTheGivenSpread) {
    PanelModel model{.sx = 1, .sy = 1, .noisePixels = 2, .seed = 7};
    TouchPanel first(model, 240, 320), second(model, 240, 320);
    double sum = 0, sumOfSquares = 0;
    const int readings = 4000;
    for (int i = 0; i < readings; ++i) {
        PanelReading a = first.Read(120, 160), b = second.Read(120, 160);
        ASSERT_EQ(a.x, b.x);
        ASSERT_EQ(a.y, b.y);
        double pixels = a.x * 240.0 / 1024 - 120;
        sum += pixels;
        sumOfSquares += pixels * pixels;
    }
    double mean = sum / readings;
    EXPECT_NEAR(mean, 0, 0.15);
    EXPECT_NEAR(std::sqrt(sumOfSquares / readings - mean * mean), 2, 0.15);
}

// The worked example of docs/touch-driver.md: the README's settings, and a
// reading of 858, 906.
TEST(ReferenceDriverMapping, MatchesTheWorkedExample) {
    DriverSettings settings{1.12940, 1.06667, -42.16471, -34.13334};
    PanelReading reading{858, 906};
    ScreenPosition raw = RawPosition(reading, 240, 320);
    EXPECT_DOUBLE_EQ(raw.x, 201.09375);
    EXPECT_DOUBLE_EQ(raw.y, 283.125);
    ScreenPosition calibrated = CalibratedPosition(reading, settings, 240, 320);
    EXPECT_NEAR(calibrated.x, 217.106, 0.001);
    EXPECT_NEAR(calibrated.y, 291.268, 0.001);
}

TEST(ReferenceDriverMapping, NeutralSettingsAreNeutralOnlyOnThePortraitScreen) {
    PanelReading reading{512, 512};
    ScreenPosition portrait = CalibratedPosition(reading, {}, 240, 320);
    EXPECT_NEAR(portrait.x, 120, 0.01);
    EXPECT_NEAR(portrait.y, 160, 0.01);
    // 320 x 240: x is stretched by 320 / 240 about the client origin, y
    // shrunk by 240 / 320.
    ScreenPosition landscape = CalibratedPosition(reading, {}, 320, 240);
    EXPECT_NEAR(landscape.x, 1 + 159 * 4.0 / 3, 0.01);
    EXPECT_NEAR(landscape.y, 1 + 119 * 0.75, 0.01);
}

TEST(ReferenceDriverEvents, RawFromTheStartEventAndReloadedSettingsFromTheEnd) {
    ScratchEnvironment scratch;
    ReferenceDriver driver(240, 320);
    EXPECT_FALSE(driver.Raw());
    EXPECT_EQ(driver.Settings().scaleX, 1) << "neutral without a settings key";

    CalibrationEvents events;
    EventModify(events.start, EVENT_SET);
    driver.TakeEvents();
    EXPECT_TRUE(driver.Raw());
    POINT delivered = driver.Deliver({858, 906});
    EXPECT_EQ(delivered.x, 201);
    EXPECT_EQ(delivered.y, 283);

    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    SetTextValue(key, u"SCALEX", u"1.12940");
    SetTextValue(key, u"SCALEY", u"1.06667");
    SetTextValue(key, u"OFFSETX", u"-42.16471");
    SetTextValue(key, u"OFFSETY", u"not a number");
    RegCloseKey(key);
    EventModify(events.end, EVENT_SET);
    driver.TakeEvents();
    EXPECT_FALSE(driver.Raw());
    EXPECT_EQ(driver.Settings().scaleX, 1.12940);
    EXPECT_EQ(driver.Settings().offsetY, 0) << "a value that is not a number stays neutral";
    EXPECT_EQ(driver.Deliver({858, 906}).x, 217);
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/host/simulator/sdl_input_mapping.h"

namespace {

using qoz::sim::ScreenFromTouch;
using qoz::sim::ScreenFromWindow;
using qoz::sim::VirtualKeyFromSdl;

TEST(SdlKeys, MapToTheDevicesVirtualKeys) {
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_SPACE), UINT(VK_SPACE));
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_RETURN), UINT(VK_RETURN));
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_ENTER), UINT(VK_RETURN));
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_ESCAPE), UINT(VK_ESCAPE));
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_a), UINT('A'));
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_z), UINT('Z'));
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_0), UINT('0'));
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_9), UINT('9'));
}

TEST(SdlKeys, MapOtherPrintableKeysToTheirCharacterAndIgnoreTheRest) {
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_MINUS), UINT('-'));
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_SLASH), UINT('/'));
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F1), std::nullopt);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_LSHIFT), std::nullopt);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_TAB), std::nullopt);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_DELETE), std::nullopt);
}

TEST(SdlPointer, DividesWindowPixelsByTheZoom) {
    EXPECT_EQ(ScreenFromWindow(0, 2, 240), 0);
    EXPECT_EQ(ScreenFromWindow(1, 2, 240), 0);
    EXPECT_EQ(ScreenFromWindow(51, 2, 240), 25);
    EXPECT_EQ(ScreenFromWindow(479, 2, 240), 239);
    EXPECT_EQ(ScreenFromWindow(100, 1, 240), 100);
    EXPECT_EQ(ScreenFromWindow(23, 8, 240), 2);
}

TEST(SdlPointer, KeepsPositionsBeyondTheWindowOnTheScreensEdge) {
    EXPECT_EQ(ScreenFromWindow(-1, 2, 240), 0);
    EXPECT_EQ(ScreenFromWindow(-300, 2, 240), 0);
    EXPECT_EQ(ScreenFromWindow(480, 2, 240), 239);
    EXPECT_EQ(ScreenFromWindow(5000, 2, 240), 239);
}

TEST(SdlTouch, ScalesFractionsToScreenPixels) {
    EXPECT_EQ(ScreenFromTouch(0.0f, 240), 0);
    EXPECT_EQ(ScreenFromTouch(0.5f, 240), 120);
    EXPECT_EQ(ScreenFromTouch(0.999f, 240), 239);
    EXPECT_EQ(ScreenFromTouch(1.0f, 240), 239);
    EXPECT_EQ(ScreenFromTouch(-0.2f, 240), 0);
}

}  // namespace

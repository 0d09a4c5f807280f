#include <gtest/gtest.h>

#include <string>

#include "app/calibration_mode.h"
#include "app/main_window.h"
#include "app/window_procedure.h"
#include "calibration/stroke_buffer.h"
#include "calibration/tap_sampling.h"
#include "calibration/targets.h"
#include "platform/host/kernel32/clock.h"
#include "platform/host/user32/window_system.h"
#include "platform/host/user32/window_table.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"
#include "tests/support/window_system_test.h"

namespace {

using qoz::host::WindowsInCreationOrder;

// The program's own start-up against the host's window system; the message
// loop is driven by the test.
class WindowProcedure : public ::testing::Test {
protected:
    void SetUp() override {
        main = StartProgramInProcess();
        ASSERT_NE(main, nullptr) << "start-up failed";
        auto windows = WindowsInCreationOrder();
        ASSERT_EQ(windows.size(), 4u);
        for (int i = 0; i < 3; ++i) buttons[i] = windows[i + 1];
        startListener = CreateEventW(nullptr, FALSE, FALSE, u"CALSTARTEVENT");
        endListener = CreateEventW(nullptr, FALSE, FALSE, u"CALENDEVENT");
    }
    void TearDown() override {
        CloseHandle(startListener);
        CloseHandle(endListener);
        qoz::host::ResetWindowSystemForTesting();
        qoz::host::UseVirtualTime(false);
    }

    void Command(int id) { SendMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void Tap(int x, int y) {
        SendMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(main, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    bool ButtonsShown() const {
        int shown = 0;
        for (auto* button : buttons) shown += qoz::host::IsShown(*button) ? 1 : 0;
        EXPECT_TRUE(shown == 0 || shown == 3) << shown << " of 3 buttons shown";
        return shown == 3;
    }
    static bool WasSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

    ScratchEnvironment scratch;
    HWND main = nullptr;
    qoz::host::Window* buttons[3] = {};
    HANDLE startListener = nullptr;
    HANDLE endListener = nullptr;
};

TEST_F(WindowProcedure, StartUpSeedsTheSettingsAndShowsTheButtonsAtTheirPlaces) {
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
    EXPECT_TRUE(ButtonsShown());
    const int ids[] = {ID_ERASE, ID_EXIT, ID_CALIBRATE};
    const int xs[] = {100, 130, 160};
    const int widths[] = {30, 30, 80};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->id, ids[i]);
        EXPECT_EQ(buttons[i]->x, xs[i]);
        EXPECT_EQ(buttons[i]->y, 1);
        EXPECT_EQ(buttons[i]->width, widths[i]);
        EXPECT_EQ(buttons[i]->height, 30);
    }
    EXPECT_EQ(targetX[4], 120.0f);
}

TEST_F(WindowProcedure, TheCalibrationButtonHidesTheButtonsAndSignalsTheStart) {
    Command(ID_CALIBRATE);
    EXPECT_EQ(calibrating, 1);
    EXPECT_EQ(sampleIndex, 0);
    EXPECT_FALSE(ButtonsShown());
    EXPECT_TRUE(WasSet(startListener));
}

TEST_F(WindowProcedure, AKeyReleaseStartsOrRestartsCalibrationWithoutTheStartEvent) {
    SendMessageW(main, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(calibrating, 1);
    EXPECT_FALSE(ButtonsShown());
    Tap(24, 32);
    Tap(216, 32);
    EXPECT_EQ(sampleIndex, 2);
    SendMessageW(main, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(sampleIndex, 2) << "only the release restarts";
    SendMessageW(main, WM_KEYUP, 'A', 0);
    EXPECT_EQ(sampleIndex, 0);
    EXPECT_EQ(calibrating, 1);
    EXPECT_FALSE(WasSet(startListener));
}

TEST_F(WindowProcedure, AnyCommandEndsCalibrationAndAnUnknownOneLeavesTheButtonsHidden) {
    Command(ID_CALIBRATE);
    Tap(24, 32);
    ASSERT_EQ(sampleIndex, 1);
    Command(0x1234);
    EXPECT_EQ(calibrating, 0);
    EXPECT_EQ(sampleIndex, 0);
    EXPECT_FALSE(ButtonsShown());
}

TEST_F(WindowProcedure, OnlyTheFifthTapPublishesThenThePadComesBack) {
    Command(ID_CALIBRATE);
    ASSERT_TRUE(WasSet(startListener));
    std::string seeded = scratch.registryText();
    uint64_t before = qoz::host::NowMilliseconds();
    for (int tap = 0; tap < 4; ++tap) {
        Tap((int)targetX[tap], (int)targetY[tap]);
        EXPECT_EQ(scratch.registryText(), seeded) << "tap " << tap;
        EXPECT_EQ(calibrating, 1);
    }
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
    EXPECT_FALSE(WasSet(endListener));

    Tap(120, 160);
    EXPECT_EQ(qoz::host::NowMilliseconds() - before, 5u * 500u) << "a 500 ms pause per tap";
    EXPECT_EQ(calibrating, 0);
    EXPECT_TRUE(ButtonsShown());
    EXPECT_TRUE(WasSet(endListener));
    EXPECT_EQ(scratch.debugLog(), kSeedLines +
                                      "Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n"
                                      "Completes Calibration ..........r\n");
    EXPECT_EQ(QueryQozSerialValue(u"ScaleY").text, u"1.00000");
}

TEST_F(WindowProcedure, PadStrokesNeverSampleOrPause) {
    uint64_t before = qoz::host::NowMilliseconds();
    SendMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
    SendMessageW(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(55, 65));
    SendMessageW(main, WM_LBUTTONUP, 0, MAKELPARAM(60, 70));
    EXPECT_EQ(strokeIndex, 2);
    EXPECT_EQ(strokeLength, 2);
    EXPECT_EQ(sampleIndex, 0);
    EXPECT_EQ(qoz::host::NowMilliseconds(), before);
}

TEST_F(WindowProcedure, EraseForgetsTheDrawnLengthOnly) {
    Tap(10, 10);
    SendMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
    SendMessageW(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(55, 65));
    SendMessageW(main, WM_LBUTTONUP, 0, MAKELPARAM(60, 70));
    Command(ID_ERASE);
    EXPECT_EQ(strokeLength, 0);
    EXPECT_EQ(strokeIndex, 2);
    EXPECT_TRUE(ButtonsShown());
}

TEST_F(WindowProcedure, TheExitCommandEndsTheLoopWithCodeZeroBeforeAnyFurtherInput) {
    ScriptedInput input;
    input.later.push_back(qoz::host::RawInput::Key(VK_SPACE));
    qoz::host::SetInputSource(&input);
    Command(ID_EXIT);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) DispatchMessageW(&message);
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(input.waits, 0) << "the quit came before the loop went idle";
    EXPECT_EQ(calibrating, 0);
    qoz::host::SetInputSource(nullptr);
}

TEST_F(WindowProcedure, OtherMessagesGoToTheDefaultProcedure) {
    EXPECT_EQ(MainWindowProc(main, WM_CHAR, 'a', 0), DefWindowProcW(main, WM_CHAR, 'a', 0));
    EXPECT_EQ(calibrating, 0);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/calibration_mode.h"
#include "app/main_window.h"
#include "app/window_procedure.h"
#include "calibration/stroke_buffer.h"
#include "calibration/tap_sampling.h"
#include "calibration/targets.h"
#include "platform/host/kernel32/clock.h"
#include "platform/host/user32/window_system.h"
#include "platform/host/user32/window_table.h"
#include "tests/support/calibration_events.h"
#include "tests/support/call_trace.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/screen_checks.h"
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
        listeners.emplace();
        ClearCallTrace();
    }
    void TearDown() override {
        listeners.reset();
        qoz::host::ResetWindowSystemForTesting();
        qoz::host::UseVirtualTime(false);
    }

    void Command(int id) { SendMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void Tap(int x, int y) {
        SendMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(main, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    // A pad stroke from client (50, 100) through (60, 100) to (70, 100).
    void Stroke() {
        SendMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 100));
        SendMessageW(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 100));
        SendMessageW(main, WM_LBUTTONUP, 0, MAKELPARAM(70, 100));
    }
    // What the client area shows, in screen pixels, the buttons' place included.
    static PixelSet ClientBlack() { return BlackPixelsIn(1, 1, 239, 319); }
    bool ButtonsShown() const {
        int shown = 0;
        for (auto* button : buttons) shown += qoz::host::IsShown(*button) ? 1 : 0;
        EXPECT_TRUE(shown == 0 || shown == 3) << shown << " of 3 buttons shown";
        return shown == 3;
    }

    ScratchEnvironment scratch;
    HWND main = nullptr;
    qoz::host::Window* buttons[3] = {};
    std::optional<CalibrationEvents> listeners;  // opened after the program's start-up
};

TEST_F(WindowProcedure, StartUpSeedsTheSettingsAndShowsTheButtonsAtTheirPlaces) {
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
    EXPECT_TRUE(ButtonsShown());
    const qoz::host::Window* window = qoz::host::LookUpWindow(main);
    EXPECT_EQ(window->text, u"펜입력");
    EXPECT_EQ(window->style, DWORD(WS_VISIBLE | WS_BORDER));
    EXPECT_TRUE(window->topmost);
    EXPECT_EQ(std::vector({window->x, window->y, window->width, window->height}),
              std::vector({0, 0, 240, 320}));
    const char16_t* captions[] = {u"삭제", u"종료", u"Calibration"};
    const int ids[] = {ID_ERASE, ID_EXIT, ID_CALIBRATE};
    const int xs[] = {100, 130, 160};
    const int widths[] = {30, 30, 80};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->text, captions[i]);
        EXPECT_EQ(buttons[i]->id, ids[i]);
        EXPECT_EQ(buttons[i]->x, xs[i]);
        EXPECT_EQ(buttons[i]->y, 1);
        EXPECT_EQ(buttons[i]->width, widths[i]);
        EXPECT_EQ(buttons[i]->height, 30);
    }
    EXPECT_EQ(targetX[4], 120.0f);
}

TEST_F(WindowProcedure, TheCalibrationButtonHidesTheButtonsAndSignalsTheStart) {
    EXPECT_FALSE(WasSet(listeners->start));
    Command(ID_CALIBRATE);
    EXPECT_EQ(calibrating, 1);
    EXPECT_EQ(sampleIndex, 0);
    EXPECT_FALSE(ButtonsShown());
    EXPECT_TRUE(WasSet(listeners->start));
    EXPECT_FALSE(WasSet(listeners->start)) << "automatic reset: one press releases one wait";
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
    EXPECT_FALSE(WasSet(listeners->start));
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
    ASSERT_TRUE(WasSet(listeners->start));
    std::string seeded = scratch.registryText();
    uint64_t before = qoz::host::NowMilliseconds();
    for (int tap = 0; tap < 4; ++tap) {
        Tap((int)targetX[tap], (int)targetY[tap]);
        EXPECT_EQ(scratch.registryText(), seeded) << "tap " << tap;
        EXPECT_EQ(calibrating, 1);
    }
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
    EXPECT_FALSE(WasSet(listeners->end));

    Tap(120, 160);
    EXPECT_EQ(qoz::host::NowMilliseconds() - before, 5u * 500u) << "a 500 ms pause per tap";
    EXPECT_EQ(calibrating, 0);
    EXPECT_TRUE(ButtonsShown());
    EXPECT_TRUE(WasSet(listeners->end));
    EXPECT_EQ(scratch.debugLog(), kSeedLines +
                                      "Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n"
                                      "Completes Calibration ..........r\n");
    EXPECT_EQ(QueryQozSerialValue(u"ScaleY").text, u"1.00000");
}

TEST_F(WindowProcedure, TheEndEventComesOncePerCompletedCalibrationAndNotOnExit) {
    for (int calibration = 0; calibration < 3; ++calibration) {
        Command(ID_CALIBRATE);
        int taps = calibration < 2 ? 5 : 4;
        for (int tap = 0; tap < taps; ++tap) Tap((int)targetX[tap], (int)targetY[tap]);
    }
    Command(ID_EXIT);
    RunLoopUntilIdle();
    std::string start = "EventModify CALSTARTEVENT set", end = "EventModify CALENDEVENT set";
    EXPECT_EQ(CallTrace({"EventModify"}), std::vector({start, end, start, end, start}));
}

TEST_F(WindowProcedure, AnUnknownCommandAsksForNoRepaintAndCalibrationErasesThePad) {
    Command(ID_CALIBRATE);
    Tap(24, 32);
    RunLoopUntilIdle();
    Command(0x1234);
    EXPECT_FALSE(qoz::host::LookUpWindow(main)->updatePending);
    RunLoopUntilIdle();
    EXPECT_EQ(ClientBlack(), TargetMark(216, 32)) << "the mark stays";
    // The pad, with the buttons still hidden: only the command can erase it.
    Stroke();
    Command(ID_CALIBRATE);
    RunLoopUntilIdle();
    EXPECT_EQ(ClientBlack(), TargetMark(24, 32));
}

TEST_F(WindowProcedure, AStrokeHeldAfterOneMoveDrawsNothingUntilItsPenUp) {
    SendMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 100));
    SendMessageW(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 100));
    RunLoopUntilIdle();
    EXPECT_EQ(BlackPixelsIn(1, 32, 239, 319), PixelSet{});
    SendMessageW(main, WM_LBUTTONUP, 0, MAKELPARAM(70, 100));
    RunLoopUntilIdle();
    EXPECT_EQ(BlackPixelsIn(1, 32, 239, 319),
              StraightLine(FromClient(60, 100), FromClient(70, 100)));
}

TEST_F(WindowProcedure, EveryRepaintGivesItsDeviceContextBack) {
    // More repaints than the system has device contexts, as in a long session.
    for (int repaint = 0; repaint < 20000; ++repaint) {
        InvalidateRect(main, nullptr, FALSE);
        RunLoopUntilIdle();
    }
    Stroke();
    RunLoopUntilIdle();
    EXPECT_EQ(BlackPixelsIn(1, 32, 239, 319),
              StraightLine(FromClient(60, 100), FromClient(70, 100)));
}

TEST_F(WindowProcedure, AfterEraseARepaintThePlatformAsksForDrawsNothing) {
    Stroke();
    Command(ID_ERASE);
    RunLoopUntilIdle();
    InvalidateRect(main, nullptr, TRUE);  // as when something that covered it goes away
    RunLoopUntilIdle();
    EXPECT_EQ(BlackPixelsIn(1, 32, 239, 319), PixelSet{});
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

// Where a target is not a whole pixel, its mark starts where the target less
// five pixels truncates.
TEST(TargetMarks, OnScreensWhereTargetsAreNotWholePixels) {
    struct {
        int screenWidth, screenHeight, target;
        int left, top;  // client pixels where the mark starts
        const char* why;
    } places[] = {
        {242, 242, 4, 116, 116, "the centre (121, 121), 120.99999 from 0.9 as a float"},
        {245, 245, 0, 19, 19, "the first target (24.5, 24.5), its mark at 20 if rounded"},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.why);
        ScratchEnvironment scratch;
        HWND main = StartProgramInProcess(place.screenWidth, place.screenHeight);
        SendMessageW(main, WM_COMMAND, MAKEWPARAM(ID_CALIBRATE, BN_CLICKED), 0);
        for (int tap = 0; tap < place.target; ++tap) {
            SendMessageW(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 120));
            SendMessageW(main, WM_LBUTTONUP, 0, MAKELPARAM(120, 120));
        }
        RunLoopUntilIdle();
        EXPECT_EQ(BlackPixelsIn(1, 1, 239, std::min(319, place.screenHeight)),
                  TargetMark(place.left + 5, place.top + 5));
    }
    qoz::host::ResetWindowSystemForTesting();
    qoz::host::UseVirtualTime(false);
}

// The program's own entry in this process: start-up, then the loop, which
// ends once nothing is left to do.
class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramInProcess();
        ClearCallTrace();
    }
    void TearDown() override {
        ClearCallTrace();
        qoz::host::ResetWindowSystemForTesting();
        qoz::host::UseVirtualTime(false);
    }
    ScratchEnvironment scratch;
};

TEST_F(StartUp, EventsThenSettingsThenWindowsThenTargetsThenAnImmediatePaint) {
    EXPECT_EQ(AppMain(nullptr, nullptr, nullptr, SW_SHOW), 0);
    std::vector<std::string> trace =
        CallTrace({"RegisterClassW", "CreateEventW", "RegOpenKeyExW", "RegCreateKeyExW",
                   "RegCloseKey", "CreateWindowExW", "SetWindowPos", "GetSystemMetrics 0",
                   "ShowWindow", "UpdateWindow", "BeginPaint", "GetMessageW"});
    auto firstFetch = std::ranges::find(trace, "GetMessageW");  // the loop's first; keep it
    trace.erase(firstFetch == trace.end() ? firstFetch : firstFetch + 1, trace.end());
    EXPECT_EQ(trace, std::vector<std::string>({
                         "RegisterClassW \"\"",
                         "CreateEventW CALSTARTEVENT",
                         "CreateEventW CALENDEVENT",
                         "RegOpenKeyExW Software\\QozSerial",
                         "RegCreateKeyExW Software\\QozSerial",
                         "RegCloseKey",
                         "CreateWindowExW \"\" \"펜입력\"",
                         "SetWindowPos 펜입력",
                         "CreateWindowExW \"button\" \"삭제\"",
                         "CreateWindowExW \"button\" \"종료\"",
                         "CreateWindowExW \"button\" \"Calibration\"",
                         "GetSystemMetrics 0",
                         "ShowWindow 펜입력 5",
                         "UpdateWindow 펜입력",
                         "BeginPaint 펜입력",
                         "GetMessageW",
                     }));
    EXPECT_EQ(RegistryKeysLeftOpen(), 0);
}

TEST_F(StartUp, WithoutItsMainWindowTheProgramEndsAtOnceKeepingTheEventsAndTheKey) {
    FailCallsStartingWith("CreateWindowExW \"\"");
    EXPECT_EQ(AppMain(nullptr, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_EQ(
        CallTrace(
            {"CreateWindowExW", "SetWindowPos", "GetSystemMetrics", "ShowWindow", "GetMessageW"}),
        std::vector<std::string>({"CreateWindowExW \"\" \"펜입력\"", "SetWindowPos (no window)"}));
    EXPECT_EQ(scratch.debugLog(), kSeedLines);
    for (const char16_t* name : {u"CALSTARTEVENT", u"CALENDEVENT"}) {
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
        CloseHandle(event);
    }
}

}  // namespace

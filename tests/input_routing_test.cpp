// Pen and key input reach windows as on the device: the pen goes to the
// window under it with no implicit capture, a push button captures it and
// clicks only when released over itself, keys go to the focused window.
#include "window_test_support.h"

using qoz::host::PenAction;
using qoz::host::RawInput;

namespace {

RawInput Down(int x, int y) { return RawInput::Pen(PenAction::Down, x, y); }
RawInput Move(int x, int y) { return RawInput::Pen(PenAction::Move, x, y); }
RawInput Up(int x, int y) { return RawInput::Pen(PenAction::Up, x, y); }
RawInput Key(UINT key) { return RawInput::Key(key); }

// Screen points: the client area starts at (1, 1) and the buttons lie at
// client y 1 to 30; erase spans client x 100 to 129, Calibration 160 on.
constexpr int kEraseX = 115;
constexpr int kCalibrateX = 200;
constexpr int kButtonY = 16;

class InputRoutingTest : public WindowSystemTest {
protected:
    void Start() {
        windows = CreateProgramWindows();
        qoz::host::SetInputSource(&input);
        RunMessageLoop();  // the first paints
        messageLog.clear();
    }
    std::vector<LoggedMessage> Play(std::initializer_list<RawInput> inputs, UINT only = 0) {
        messageLog.clear();
        input.arrived.insert(input.arrived.end(), inputs);
        RunMessageLoop();
        std::vector<LoggedMessage> result;
        for (const LoggedMessage& each : messageLog)
            if (each.window == windows.main && each.message != WM_PAINT &&
                (only == 0 || each.message == only))
                result.push_back(each);
        return result;
    }
    static std::vector<UINT> Kinds(const std::vector<LoggedMessage>& messages) {
        std::vector<UINT> kinds;
        for (const LoggedMessage& each : messages) kinds.push_back(each.message);
        return kinds;
    }
    ProgramWindows windows;
    ScriptedInput input;
};

TEST_F(InputRoutingTest, PenMessagesCarryClientCoordinatesAndOnlyWhileDown) {
    Start();
    auto messages = Play({Move(40, 40), Up(40, 40), Down(50, 60), Move(51, 62), Up(52, 64),
                          Move(53, 65)});
    ASSERT_EQ(Kinds(messages), (std::vector<UINT>{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}));
    EXPECT_EQ(messages[0].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(messages[0].lParam, MAKELPARAM(49, 59));
    EXPECT_EQ(messages[1].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(messages[1].lParam, MAKELPARAM(50, 61));
    EXPECT_EQ(messages[2].wParam, WPARAM(0));
    EXPECT_EQ(messages[2].lParam, MAKELPARAM(51, 63));
}

TEST_F(InputRoutingTest, BorderPixelsReachNoWindow) {
    Start();
    Play({Down(0, 100), Up(0, 100), Down(239, 100), Up(239, 100), Down(100, 319), Up(100, 319),
          Down(100, 0), Up(100, 0)});
    EXPECT_TRUE(messageLog.empty());
}

TEST_F(InputRoutingTest, NoImplicitCaptureOverButtonsOrOffTheWindow) {
    qoz::host::SetScreenSize(320, 400);
    Start();
    auto messages =
        Play({Down(50, 60), Move(kEraseX, kButtonY), Move(300, 100), Move(100, 350), Up(100, 350)});
    EXPECT_EQ(Kinds(messages), std::vector<UINT>{WM_LBUTTONDOWN});
}

TEST_F(InputRoutingTest, AButtonCapturesThePenAndClicksOnlyWhenReleasedOverItself) {
    Start();
    auto messages = Play({Down(kEraseX, kButtonY), Up(kEraseX + 3, kButtonY + 2)});
    ASSERT_EQ(Kinds(messages), std::vector<UINT>{WM_COMMAND});
    EXPECT_EQ(messages[0].wParam, MAKEWPARAM(kEraseId, BN_CLICKED));
    EXPECT_EQ(messages[0].lParam, reinterpret_cast<LPARAM>(windows.erase));

    messages = Play({Down(kCalibrateX, kButtonY), Up(kCalibrateX, kButtonY)});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wParam, MAKEWPARAM(kCalibrateId, BN_CLICKED));
    EXPECT_EQ(messages[0].lParam, reinterpret_cast<LPARAM>(windows.calibrate));

    // Released on the pad or on the neighbouring button: no click, and the
    // pad sees nothing of the captured pen.
    EXPECT_TRUE(Play({Down(kEraseX, kButtonY), Move(50, 100), Up(50, 100)}).empty());
    EXPECT_TRUE(Play({Down(kEraseX, kButtonY), Move(145, kButtonY), Up(145, kButtonY)}).empty());
    // Dragged off and back on: a click.
    EXPECT_EQ(Kinds(Play({Down(kEraseX, kButtonY), Move(50, 100), Move(kEraseX, kButtonY),
                          Up(kEraseX, kButtonY)})),
              std::vector<UINT>{WM_COMMAND});
    // The capture ended with the pen-up.
    EXPECT_EQ(Play({Down(50, 100), Up(50, 100)}).size(), 2u);
}

TEST_F(InputRoutingTest, PressedLookWhileThePenIsDownOnTheButton) {
    Start();
    const int x = 1 + 100 + 2;  // inside the erase button's frame, clear of its caption
    const int y = 1 + 1 + 2;
    EXPECT_EQ(PixelAt(x, y), kWhitePixel);
    Play({Down(kEraseX, kButtonY)});
    EXPECT_EQ(PixelAt(x, y), kBlackPixel);
    Play({Move(50, 100)});
    EXPECT_EQ(PixelAt(x, y), kWhitePixel);
    Play({Move(kEraseX, kButtonY)});
    EXPECT_EQ(PixelAt(x, y), kBlackPixel);
    Play({Up(kEraseX, kButtonY)});
    EXPECT_EQ(PixelAt(x, y), kWhitePixel);
}

TEST_F(InputRoutingTest, AKeyPressIsTwoQueuedMessagesToTheMainWindowAtFirst) {
    Start();
    input.arrived = {Key('A'), Down(50, 60)};
    MSG message;
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(message.hwnd, windows.main);
    EXPECT_EQ(message.wParam, WPARAM('A'));
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_KEYUP));
    EXPECT_EQ(message.hwnd, windows.main);
    EXPECT_EQ(message.wParam, WPARAM('A'));
    EXPECT_EQ(input.arrived.size(), 1u);  // the pen-down was not taken yet
}

TEST_F(InputRoutingTest, ATappedButtonKeepsTheFocusUntilItIsHidden) {
    Start();
    Play({Down(kEraseX, kButtonY), Up(kEraseX, kButtonY), Down(50, 60), Up(50, 60)});
    // Space clicks the focused button, even after the pad was tapped.
    auto messages = Play({Key(VK_SPACE)});
    ASSERT_EQ(Kinds(messages), std::vector<UINT>{WM_COMMAND});
    EXPECT_EQ(messages[0].wParam, MAKEWPARAM(kEraseId, BN_CLICKED));
    EXPECT_EQ(messages[0].lParam, reinterpret_cast<LPARAM>(windows.erase));
    EXPECT_TRUE(Play({Key('A'), Key(VK_RETURN), Key(VK_ESCAPE)}).empty());

    for (HWND button : {windows.erase, windows.exit, windows.calibrate})
        ShowWindow(button, SW_HIDE);
    messages = Play({Key(VK_SPACE), Down(kEraseX, kButtonY)});
    EXPECT_EQ(Kinds(messages), (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_LBUTTONDOWN}));
    EXPECT_EQ(messages[1].wParam, WPARAM(VK_SPACE));
    EXPECT_EQ(messages[2].lParam, MAKELPARAM(kEraseX - 1, kButtonY - 1));
}

}  // namespace

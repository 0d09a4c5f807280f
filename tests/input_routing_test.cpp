// Pen and key input reach windows as on the device: the pen goes to the
// window under it with no implicit capture, a push button captures it and
// clicks only when released over itself, keys go to the focused window.
#include "app/main_window.h"
#include "tests/support/window_system_test.h"

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
        RunLoopUntilIdle();  // the first paints
        messageLog.clear();
    }
    // What the main window got from the input, paints left out.
    std::vector<LoggedMessage> Play(std::initializer_list<RawInput> inputs) {
        messageLog.clear();
        input.arrived.insert(input.arrived.end(), inputs);
        RunLoopUntilIdle();
        std::vector<LoggedMessage> result = MessagesTo(windows.main);
        std::erase_if(result, [](const LoggedMessage& each) { return each.message == WM_PAINT; });
        return result;
    }
    ExpectedMessage EraseClicked() const {
        return {WM_COMMAND, MAKEWPARAM(ID_ERASE, BN_CLICKED),
                reinterpret_cast<LPARAM>(windows.erase)};
    }
    ProgramWindows windows;
    ScriptedInput input;
};

TEST_F(InputRoutingTest, PenMessagesCarryClientCoordinatesAndOnlyWhileDown) {
    Start();
    auto messages =
        Play({Move(40, 40), Up(40, 40), Down(50, 60), Move(51, 62), Up(52, 64), Move(53, 65)});
    EXPECT_TRUE(SequenceMatches(messages, {{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(49, 59)},
                                           {WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 61)},
                                           {WM_LBUTTONUP, 0, MAKELPARAM(51, 63)}}));
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
    EXPECT_TRUE(SequenceMatches(messages, {{WM_LBUTTONDOWN}}));
}

TEST_F(InputRoutingTest, AButtonCapturesThePenAndClicksOnlyWhenReleasedOverItself) {
    Start();
    EXPECT_TRUE(SequenceMatches(Play({Down(kEraseX, kButtonY), Up(kEraseX + 3, kButtonY + 2)}),
                                {EraseClicked()}));
    EXPECT_TRUE(SequenceMatches(Play({Down(kCalibrateX, kButtonY), Up(kCalibrateX, kButtonY)}),
                                {{WM_COMMAND, MAKEWPARAM(ID_CALIBRATE, BN_CLICKED),
                                  reinterpret_cast<LPARAM>(windows.calibrate)}}));

    // Released on the pad or on the neighbouring button: no click, and the
    // pad sees nothing of the captured pen.
    EXPECT_TRUE(Play({Down(kEraseX, kButtonY), Move(50, 100), Up(50, 100)}).empty());
    EXPECT_TRUE(Play({Down(kEraseX, kButtonY), Move(145, kButtonY), Up(145, kButtonY)}).empty());
    // Dragged off and back on: a click.
    EXPECT_TRUE(SequenceMatches(Play({Down(kEraseX, kButtonY), Move(50, 100),
                                      Move(kEraseX, kButtonY), Up(kEraseX, kButtonY)}),
                                {{WM_COMMAND}}));
    // The capture ended with the pen-up.
    EXPECT_EQ(Play({Down(50, 100), Up(50, 100)}).size(), 2u);
}

TEST_F(InputRoutingTest, PressedLookWhileThePenIsDownOnTheButton) {
    Start();
    const int x = 1 + 100 + 2;  // inside the erase button's frame, clear of its caption
    const int y = 1 + 1 + 2;
    EXPECT_EQ(PixelAt(x, y), white);
    Play({Down(kEraseX, kButtonY)});
    EXPECT_EQ(PixelAt(x, y), black);
    Play({Move(50, 100)});
    EXPECT_EQ(PixelAt(x, y), white);
    Play({Move(kEraseX, kButtonY)});
    EXPECT_EQ(PixelAt(x, y), black);
    Play({Up(kEraseX, kButtonY)});
    EXPECT_EQ(PixelAt(x, y), white);
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
    EXPECT_TRUE(SequenceMatches(Play({Key(VK_SPACE)}), {EraseClicked()}));
    EXPECT_TRUE(Play({Key('A'), Key(VK_RETURN), Key(VK_ESCAPE)}).empty());

    for (HWND button : {windows.erase, windows.exit, windows.calibrate})
        ShowWindow(button, SW_HIDE);
    EXPECT_TRUE(SequenceMatches(Play({Key(VK_SPACE), Down(kEraseX, kButtonY)}),
                                {{WM_KEYDOWN},
                                 {WM_KEYUP, VK_SPACE},
                                 {WM_LBUTTONDOWN, {}, MAKELPARAM(kEraseX - 1, kButtonY - 1)}}));
}

}  // namespace

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

// Screen points: the main window's client area starts at (1, 1) and the
// buttons lie at client y 1 to 30, so the erase button's interior is
// around screen (115, 16).
constexpr int kEraseX = 115;
constexpr int kButtonY = 16;

class InputRoutingTest : public WindowSystemTest {
protected:
    void Start() {
        windows = CreateProgramWindows();
        qoz::host::SetInputSource(&input);
        RunMessageLoop();  // the first paints
        messageLog.clear();
    }

    void Play(std::initializer_list<RawInput> inputs) {
        input.arrived.insert(input.arrived.end(), inputs);
        RunMessageLoop();
    }

    std::vector<LoggedMessage> MainMessages(UINT only = 0) const {
        std::vector<LoggedMessage> result;
        for (const LoggedMessage& each : messageLog)
            if (each.window == windows.main && each.message != WM_PAINT &&
                (only == 0 || each.message == only))
                result.push_back(each);
        return result;
    }

    ProgramWindows windows;
    ScriptedInput input;
};

TEST_F(InputRoutingTest, PenMessagesCarryClientCoordinatesAndButtons) {
    Start();
    Play({Down(50, 60), Move(51, 62), Up(52, 64)});
    auto messages = MainMessages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(messages[0].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(messages[0].lParam, MAKELPARAM(49, 59));
    EXPECT_EQ(messages[1].message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(messages[1].wParam, WPARAM(MK_LBUTTON));
    EXPECT_EQ(messages[1].lParam, MAKELPARAM(50, 61));
    EXPECT_EQ(messages[2].message, UINT(WM_LBUTTONUP));
    EXPECT_EQ(messages[2].wParam, WPARAM(0));
    EXPECT_EQ(messages[2].lParam, MAKELPARAM(51, 63));
}

TEST_F(InputRoutingTest, NoMovesWhileThePenIsUp) {
    Start();
    Play({Move(50, 60), Up(50, 60), Down(70, 80), Up(70, 80), Move(71, 81)});
    auto messages = MainMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(messages[1].message, UINT(WM_LBUTTONUP));
}

TEST_F(InputRoutingTest, BorderPixelsReachNoWindow) {
    Start();
    Play({Down(0, 100), Up(0, 100), Down(239, 100), Up(239, 100), Down(100, 319),
          Up(100, 319), Down(100, 0), Up(100, 0)});
    EXPECT_TRUE(messageLog.empty());
}

TEST_F(InputRoutingTest, NoImplicitCaptureOverButtonsOrOffTheWindow) {
    qoz::host::SetScreenSize(320, 400);
    Start();
    // From the pad over the erase button, off the window, and up out there.
    Play({Down(50, 60), Move(kEraseX, kButtonY), Move(300, 100), Move(100, 350), Up(100, 350)});
    auto messages = MainMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, UINT(WM_LBUTTONDOWN));
    // A move over the button does not make the button click either.
    EXPECT_TRUE(MainMessages(WM_COMMAND).empty());
}

TEST_F(InputRoutingTest, ATapOnAButtonClicksIt) {
    Start();
    Play({Down(kEraseX, kButtonY), Up(kEraseX + 3, kButtonY + 2)});
    auto commands = MainMessages(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(kEraseId, BN_CLICKED));
    EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(windows.erase));
    EXPECT_EQ(MainMessages().size(), 1u);  // no pen message reached the main window

    messageLog.clear();
    Play({Down(200, kButtonY), Up(200, kButtonY)});
    commands = MainMessages(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), kCalibrateId);
    EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(windows.calibrate));
}

TEST_F(InputRoutingTest, ACapturedPenClicksOnlyWhenReleasedOverTheButton) {
    Start();
    // Dragged off onto the pad and released there: the button keeps the
    // pen, the pad sees nothing, and nothing is clicked.
    Play({Down(kEraseX, kButtonY), Move(50, 100), Up(50, 100)});
    EXPECT_TRUE(MainMessages().empty());

    // Dragged off and back on: clicked.
    Play({Down(kEraseX, kButtonY), Move(50, 100), Move(kEraseX, kButtonY), Up(kEraseX, kButtonY)});
    EXPECT_EQ(MainMessages(WM_COMMAND).size(), 1u);
    EXPECT_EQ(MainMessages().size(), 1u);

    // Released over the neighbouring button: not a click of either.
    messageLog.clear();
    Play({Down(kEraseX, kButtonY), Move(145, kButtonY), Up(145, kButtonY)});
    EXPECT_TRUE(MainMessages().empty());

    // The capture ended with the pen-up: the pad gets the pen again.
    Play({Down(50, 100), Up(50, 100)});
    EXPECT_EQ(MainMessages().size(), 2u);
}

TEST_F(InputRoutingTest, PressedLookWhileThePenIsDownOnTheButton) {
    Start();
    // A spot inside the erase button's frame, clear of its caption.
    const int x = 1 + 100 + 2;
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

TEST_F(InputRoutingTest, KeysGoToTheMainWindowAtFirst) {
    Start();
    Play({RawInput::Key('A')});
    auto messages = MainMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, UINT(WM_KEYDOWN));
    EXPECT_EQ(messages[0].wParam, WPARAM('A'));
    EXPECT_EQ(messages[1].message, UINT(WM_KEYUP));
    EXPECT_EQ(messages[1].wParam, WPARAM('A'));
}

TEST_F(InputRoutingTest, AKeyPressIsTwoQueuedMessages) {
    Start();
    input.arrived = {RawInput::Key(VK_RETURN), Down(50, 60)};
    MSG message;
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(message.hwnd, windows.main);
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_KEYUP));
    EXPECT_EQ(message.wParam, WPARAM(VK_RETURN));
    EXPECT_EQ(input.arrived.size(), 1u);  // the pen-down was not taken yet
}

TEST_F(InputRoutingTest, ATappedButtonKeepsTheFocusAndTheSpaceBarClicksIt) {
    Start();
    Play({Down(kEraseX, kButtonY), Up(kEraseX, kButtonY)});
    messageLog.clear();
    Play({RawInput::Key(VK_SPACE)});
    auto messages = MainMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, UINT(WM_COMMAND));
    EXPECT_EQ(messages[0].wParam, MAKEWPARAM(kEraseId, BN_CLICKED));
    EXPECT_EQ(messages[0].lParam, reinterpret_cast<LPARAM>(windows.erase));

    messageLog.clear();
    Play({RawInput::Key('A'), RawInput::Key(VK_RETURN), RawInput::Key(VK_ESCAPE)});
    EXPECT_TRUE(MainMessages().empty());
}

TEST_F(InputRoutingTest, HidingTheFocusedButtonGivesTheFocusToItsParent) {
    Start();
    Play({Down(200, kButtonY), Up(200, kButtonY)});
    for (HWND button : {windows.erase, windows.exit, windows.calibrate})
        ShowWindow(button, SW_HIDE);
    messageLog.clear();
    Play({RawInput::Key(VK_SPACE)});
    auto messages = MainMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, UINT(WM_KEYDOWN));
    EXPECT_EQ(messages[1].message, UINT(WM_KEYUP));
    EXPECT_EQ(messages[1].wParam, WPARAM(VK_SPACE));
}

TEST_F(InputRoutingTest, HiddenButtonsLetThePenThroughToTheMainWindow) {
    Start();
    ShowWindow(windows.erase, SW_HIDE);
    Play({Down(kEraseX, kButtonY), Up(kEraseX, kButtonY)});
    auto messages = MainMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(messages[0].lParam, MAKELPARAM(kEraseX - 1, kButtonY - 1));
}

TEST_F(InputRoutingTest, TheFocusStaysWithAButtonWhenThePadIsTapped) {
    Start();
    Play({Down(kEraseX, kButtonY), Up(kEraseX, kButtonY), Down(50, 60), Up(50, 60)});
    messageLog.clear();
    Play({RawInput::Key(VK_SPACE)});
    EXPECT_EQ(MainMessages(WM_COMMAND).size(), 1u);
    EXPECT_TRUE(MainMessages(WM_KEYUP).empty());
}

}  // namespace

// The message loop's order (quit, then input, then repaints, then waiting),
// immediate painting by UpdateWindow, and how the loop ends.
#include "tests/support/window_system_test.h"

using qoz::host::PenAction;
using qoz::host::RawInput;

namespace {

class MessageQueueTest : public WindowSystemTest {
protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        RegisterRecordingClass();
        window = CreateWindowExW(0, u"", u"w", WS_VISIBLE | WS_BORDER, 0, 0, 240, 320, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        qoz::host::SetInputSource(&input);
    }
    UINT Next() {
        MSG message;
        EXPECT_TRUE(GetMessageW(&message, nullptr, 0, 0));
        DispatchMessageW(&message);
        return message.message;
    }
    HWND window = nullptr;
    ScriptedInput input;
};

TEST_F(MessageQueueTest, QuitThenInputThenPaintThenWaiting) {
    input.arrived.push_back(RawInput::Pen(PenAction::Down, 50, 60));
    input.later.push_back(RawInput::Key('A'));
    PostQuitMessage(7);
    // The quit comes first, although the pen-down had already arrived.
    MSG message;
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_QUIT));
    EXPECT_EQ(message.wParam, WPARAM(7));
    // The input is still there for a later fetch, before the first paint.
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(message.hwnd, window);
    EXPECT_EQ(Next(), UINT(WM_PAINT));
    EXPECT_EQ(input.waits, 0);
    EXPECT_EQ(Next(), UINT(WM_KEYDOWN));
    EXPECT_EQ(input.waits, 1);
    EXPECT_EQ(Next(), UINT(WM_KEYUP));
    // Nothing more will come: a quit with code 0, not the old code.
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_QUIT));
    EXPECT_EQ(message.wParam, WPARAM(0));
    // Without any source the loop ends the same way.
    qoz::host::SetInputSource(nullptr);
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.wParam, WPARAM(0));
}

TEST_F(MessageQueueTest, AQuitPostedWhileHandlingInputOvertakesTheRestOfIt) {
    UpdateWindow(window);
    // A key press is two messages; a quit posted while the first is handled
    // comes before the second and before the pen input behind it.
    input.arrived = {RawInput::Key('A'), RawInput::Pen(PenAction::Down, 50, 60)};
    EXPECT_EQ(Next(), UINT(WM_KEYDOWN));
    PostQuitMessage(3);
    MSG message;
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.wParam, WPARAM(3));
    EXPECT_EQ(Next(), UINT(WM_KEYUP));
    EXPECT_EQ(Next(), UINT(WM_LBUTTONDOWN));
}

TEST_F(MessageQueueTest, InputArrivesInOrderAndInputForNoWindowIsSkipped) {
    UpdateWindow(window);
    // The first pen-down and -up land on the border, which takes nothing.
    input.arrived = {RawInput::Pen(PenAction::Down, 0, 0),
                     RawInput::Pen(PenAction::Up, 0, 0),
                     RawInput::Pen(PenAction::Down, 3, 3),
                     RawInput::Pen(PenAction::Move, 6, 7),
                     RawInput::Key(VK_SPACE),
                     RawInput::Pen(PenAction::Up, 8, 9)};
    RunLoopUntilIdle();
    EXPECT_TRUE(SequenceMatches(MessagesTo(window), {{WM_PAINT},
                                                     {WM_LBUTTONDOWN, {}, MAKELPARAM(2, 2)},
                                                     {WM_MOUSEMOVE},
                                                     {WM_KEYDOWN},
                                                     {WM_KEYUP},
                                                     {WM_LBUTTONUP}}));
}

TEST_F(MessageQueueTest, UpdateWindowPaintsAtOnceOnlyWhenPending) {
    UpdateWindow(window);
    EXPECT_TRUE(SequenceMatches(MessagesTo(window), {{WM_PAINT}}));
    UpdateWindow(window);
    EXPECT_EQ(MessagesTo(window).size(), 1u);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(MessagesTo(window).size(), 2u);
}

TEST_F(MessageQueueTest, UnvalidatedPaintRepeatsAndDefaultProcedureValidates) {
    int paints = 0;
    paintHandler = [&](HWND) { ++paints; };  // never calls BeginPaint
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Next(), UINT(WM_PAINT));
    EXPECT_EQ(paints, 3);
    paintHandler = nullptr;
    EXPECT_EQ(Next(), UINT(WM_PAINT));
    MSG message;
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
}

TEST_F(MessageQueueTest, ParentsArePaintedBeforeChildren) {
    HWND child = CreateWindowExW(0, u"", u"c", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, window,
                                 nullptr, nullptr, nullptr);
    RunLoopUntilIdle();
    EXPECT_TRUE(SequenceMatches(messageLog, {{.message = WM_PAINT, .window = window},
                                             {.message = WM_PAINT, .window = child}}));
}

}  // namespace

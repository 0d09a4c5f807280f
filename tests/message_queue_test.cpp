// The message loop's order (input, then quit, then repaints, then waiting),
// immediate painting by UpdateWindow, and how the loop ends.
#include "window_test_support.h"

using qoz::host::PenAction;
using qoz::host::RawInput;

namespace {

class MessageQueueTest : public WindowSystemTest {
protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        RegisterRecordingClass(u"");
        window = CreateWindowExW(0, u"", u"w", WS_VISIBLE | WS_BORDER, 0, 0, 240, 320, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    HWND window = nullptr;
    ScriptedInput input;
};

TEST_F(MessageQueueTest, InputComesBeforeQuitAndQuitBeforePaint) {
    qoz::host::SetInputSource(&input);
    input.arrived.push_back(RawInput::Pen(PenAction::Down, 50, 60));
    PostQuitMessage(7);

    MSG message;
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(message.hwnd, window);
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_QUIT));
    EXPECT_EQ(message.wParam, WPARAM(7));
    // The window's first paint is still pending and comes after the quit.
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_PAINT));
    EXPECT_EQ(message.hwnd, window);
}

TEST_F(MessageQueueTest, PaintComesBeforeWaitingForInput) {
    qoz::host::SetInputSource(&input);
    input.later.push_back(RawInput::Pen(PenAction::Down, 10, 10));
    MSG message;
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_PAINT));
    EXPECT_EQ(input.waits, 0);
    DispatchMessageW(&message);
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(input.waits, 1);
    // Nothing more will come: the loop ends as on a quit with code 0.
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_QUIT));
    EXPECT_EQ(message.wParam, WPARAM(0));
}

TEST_F(MessageQueueTest, IdleWithoutSourceEndsWithCodeZero) {
    MSG message;
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));  // the first paint
    DispatchMessageW(&message);
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.wParam, WPARAM(0));
}

TEST_F(MessageQueueTest, QuitIsReturnedOnce) {
    UpdateWindow(window);
    PostQuitMessage(3);
    MSG message;
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.wParam, WPARAM(3));
    // Idle and without a source now: ends with 0, not with the old code.
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.wParam, WPARAM(0));
}

TEST_F(MessageQueueTest, InputIsDeliveredInArrivalOrder) {
    qoz::host::SetInputSource(&input);
    UpdateWindow(window);
    input.arrived = {RawInput::Pen(PenAction::Down, 5, 5), RawInput::Pen(PenAction::Move, 6, 7),
                     RawInput::Key(VK_SPACE), RawInput::Pen(PenAction::Up, 8, 9)};
    RunMessageLoop();
    EXPECT_EQ(LoggedMessagesFor(window),
              (std::vector<UINT>{WM_PAINT, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_KEYDOWN, WM_KEYUP,
                                 WM_LBUTTONUP}));
}

TEST_F(MessageQueueTest, InputReachingNoWindowIsSkipped) {
    qoz::host::SetInputSource(&input);
    UpdateWindow(window);
    // On the border: no window takes it, and the next input is fetched.
    input.arrived = {RawInput::Pen(PenAction::Down, 0, 0), RawInput::Pen(PenAction::Up, 0, 0),
                     RawInput::Pen(PenAction::Down, 3, 3)};
    MSG message;
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(message.lParam, MAKELPARAM(2, 2));
    EXPECT_TRUE(input.arrived.empty());
}

TEST_F(MessageQueueTest, UpdateWindowPaintsAtOnceOnlyWhenPending) {
    UpdateWindow(window);
    EXPECT_EQ(LoggedMessagesFor(window), std::vector<UINT>{WM_PAINT});
    UpdateWindow(window);
    EXPECT_EQ(LoggedMessagesFor(window).size(), 1u);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(LoggedMessagesFor(window).size(), 2u);
}

TEST_F(MessageQueueTest, UnvalidatedPaintRepeatsAndDefaultProcedureValidates) {
    int paints = 0;
    paintHandler = [&](HWND) { ++paints; };  // never calls BeginPaint
    MSG message;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
        EXPECT_EQ(message.message, UINT(WM_PAINT));
        DispatchMessageW(&message);
    }
    EXPECT_EQ(paints, 3);
    paintHandler = nullptr;
    ASSERT_TRUE(GetMessageW(&message, nullptr, 0, 0));
    DispatchMessageW(&message);
    EXPECT_FALSE(GetMessageW(&message, nullptr, 0, 0));
}

TEST_F(MessageQueueTest, ParentsArePaintedBeforeChildren) {
    HWND child = CreateWindowExW(0, u"", u"c", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, window,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    RunMessageLoop();
    ASSERT_EQ(messageLog.size(), 2u);
    EXPECT_EQ(messageLog[0].window, window);
    EXPECT_EQ(messageLog[1].window, child);
}

TEST_F(MessageQueueTest, HiddenWindowsAreNotPainted) {
    ShowWindow(window, SW_HIDE);
    InvalidateRect(window, nullptr, TRUE);
    RunMessageLoop();
    EXPECT_TRUE(messageLog.empty());
}

TEST_F(MessageQueueTest, SendAndDispatchCallTheProcedure) {
    EXPECT_EQ(SendMessageW(window, WM_COMMAND, 1, 2), 0);
    MSG message{window, WM_KEYUP, 'A', 0, 0, {0, 0}};
    DispatchMessageW(&message);
    ASSERT_EQ(messageLog.size(), 2u);
    EXPECT_EQ(messageLog[0].message, UINT(WM_COMMAND));
    EXPECT_EQ(messageLog[0].wParam, WPARAM(1));
    EXPECT_EQ(messageLog[0].lParam, LPARAM(2));
    EXPECT_EQ(messageLog[1].message, UINT(WM_KEYUP));
    EXPECT_EQ(SendMessageW(nullptr, WM_COMMAND, 0, 0), 0);
    EXPECT_EQ(messageLog.size(), 2u);
}

TEST_F(MessageQueueTest, NoAcceleratorTable) {
    HACCEL table = LoadAcceleratorsW(nullptr, u"QOZ");
    EXPECT_EQ(table, nullptr);
    MSG message{window, WM_KEYDOWN, VK_RETURN, 1, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorW(window, table, &message), 0);
    EXPECT_TRUE(messageLog.empty());
}

TEST_F(MessageQueueTest, PostedQuitFromAProcedureEndsTheLoop) {
    paintHandler = [](HWND painted) {
        PAINTSTRUCT paint;
        BeginPaint(painted, &paint);
        EndPaint(painted, &paint);
        PostQuitMessage(0);
    };
    qoz::host::SetInputSource(&input);
    input.later.push_back(RawInput::Key('A'));
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(input.waits, 0);  // ended by the quit, not by running dry
    EXPECT_EQ(input.later.size(), 1u);
}

}  // namespace

// Classes, creation, placement, stacking, showing and hiding, as the
// program relies on them and as they show on the screen.
#include "tests/support/window_system_test.h"

namespace {

class WindowTableTest : public WindowSystemTest {
protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        RegisterRecordingClass();
    }
    static HWND Create(LPCWSTR className, DWORD style, int x, int y, int width, int height,
                       HWND parent = nullptr) {
        return CreateWindowExW(0, className, u"", style, x, y, width, height, parent, nullptr,
                               nullptr, nullptr);
    }
};

TEST_F(WindowTableTest, ClassesAndCreation) {
    WNDCLASSW again{};
    again.lpfnWndProc = RecordingProcedure;
    again.lpszClassName = u"";
    EXPECT_EQ(RegisterClassW(&again), 0);  // the empty name is already taken
    again.lpszClassName = u"Pad";
    EXPECT_NE(RegisterClassW(&again), 0);
    again.lpszClassName = u"PAD";
    EXPECT_EQ(RegisterClassW(&again), 0);
    EXPECT_NE(Create(u"pad", 0, 0, 0, 10, 10), nullptr);
    EXPECT_EQ(Create(u"nothing", 0, 0, 0, 10, 10), nullptr);

    HWND parent = Create(u"", WS_VISIBLE | WS_BORDER, 0, 0, 100, 100);
    ASSERT_NE(parent, nullptr);
    EXPECT_NE(Create(u"BUTTON", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent), nullptr);
    EXPECT_EQ(Create(u"button", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10), nullptr);  // no parent
    HWND bogus = reinterpret_cast<HWND>(uintptr_t(0x1234));
    EXPECT_EQ(Create(u"button", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, bogus), nullptr);
}

TEST_F(WindowTableTest, TheProgramWindowStays240By320OnAWideScreen) {
    qoz::host::SetScreenSize(320, 240);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 240);
    ProgramWindows windows = CreateProgramWindows();  // at CW_USEDEFAULT, then placed
    ASSERT_NE(windows.main, nullptr);
    RunLoopUntilIdle();
    EXPECT_EQ(PixelAt(239, 100), black);  // its right border
    EXPECT_EQ(PixelAt(238, 100), white);
    EXPECT_EQ(PixelAt(240, 100), desktop);
    EXPECT_EQ(PixelAt(319, 0), desktop);
    EXPECT_EQ(PixelAt(1, 239), white);   // the rest lies below the screen
    EXPECT_EQ(PixelAt(161, 2), black);   // the Calibration button's frame...
    EXPECT_EQ(PixelAt(238, 10), white);  // ...cut at the client area's edge
}

TEST_F(WindowTableTest, SetWindowPosHonoursItsFlags) {
    EXPECT_FALSE(SetWindowPos(nullptr, HWND_TOPMOST, 0, 0, 10, 10, 0));
    HWND window = Create(u"", WS_VISIBLE | WS_BORDER, 10, 10, 50, 50);
    RunLoopUntilIdle();
    EXPECT_EQ(PixelAt(10, 10), black);
    EXPECT_TRUE(SetWindowPos(window, HWND_TOPMOST, 100, 100, 20, 20, SWP_NOSIZE));
    RunLoopUntilIdle();
    EXPECT_EQ(PixelAt(10, 10), desktop);
    EXPECT_EQ(PixelAt(30, 30), desktop);
    EXPECT_EQ(PixelAt(149, 149), black);
    EXPECT_EQ(PixelAt(148, 148), white);
    EXPECT_TRUE(SetWindowPos(window, HWND_TOPMOST, 0, 0, 20, 20, SWP_NOMOVE));
    RunLoopUntilIdle();
    EXPECT_EQ(PixelAt(119, 119), black);
    EXPECT_EQ(PixelAt(149, 149), desktop);
}

TEST_F(WindowTableTest, ATopmostWindowStaysAboveLaterWindows) {
    HWND first = Create(u"", WS_VISIBLE | WS_BORDER, 0, 0, 100, 100);
    SetWindowPos(first, HWND_TOPMOST, 0, 0, 100, 100, 0);
    Create(u"", WS_VISIBLE | WS_BORDER, 50, 50, 100, 100);
    RunLoopUntilIdle();
    EXPECT_EQ(PixelAt(99, 70), black);  // the first one's right border
    EXPECT_EQ(PixelAt(70, 50), white);  // the second's top border is covered
    EXPECT_EQ(PixelAt(120, 50), black);
    // Without topmost, the later window is the upper one.
    Create(u"", WS_VISIBLE | WS_BORDER, 100, 100, 100, 100);
    RunLoopUntilIdle();
    EXPECT_EQ(PixelAt(120, 100), black);  // the third's top border, over the second
}

TEST_F(WindowTableTest, ShowingAndHidingRepaintWhatIsUncovered) {
    HWND window = Create(u"", WS_BORDER, 0, 0, 50, 50);
    RunLoopUntilIdle();
    EXPECT_TRUE(messageLog.empty());  // created hidden: not painted
    EXPECT_EQ(PixelAt(0, 0), desktop);
    EXPECT_FALSE(ShowWindow(window, SW_SHOW));
    EXPECT_EQ(PixelAt(0, 0), black);  // the border at once
    RunLoopUntilIdle();
    EXPECT_TRUE(SequenceMatches(MessagesTo(window), {{WM_PAINT}}));
    EXPECT_EQ(PixelAt(10, 10), white);
    EXPECT_TRUE(ShowWindow(window, SW_SHOW));
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(ShowWindow(window, SW_HIDE));
    EXPECT_EQ(PixelAt(0, 0), desktop);
    EXPECT_EQ(PixelAt(10, 10), desktop);
}

TEST_F(WindowTableTest, HidingAChildRepaintsTheParentBeneathWithErasing) {
    ProgramWindows windows = CreateProgramWindows();
    RunLoopUntilIdle();
    EXPECT_EQ(PixelAt(101, 2), black);  // the erase button's frame
    RECT painted{};
    BOOL fErase = TRUE;
    paintHandler = [&](HWND window) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        painted = paint.rcPaint;
        fErase = paint.fErase;
        EndPaint(window, &paint);
    };
    messageLog.clear();
    ShowWindow(windows.erase, SW_HIDE);
    RunLoopUntilIdle();
    EXPECT_TRUE(SequenceMatches(MessagesTo(windows.main), {{WM_PAINT}}));
    EXPECT_EQ((std::vector<LONG>{painted.left, painted.top, painted.right, painted.bottom}),
              (std::vector<LONG>{100, 1, 130, 31}));
    EXPECT_FALSE(fErase);  // erased with the white class brush
    for (int y = 2; y < 32; ++y)
        for (int x = 101; x < 131; ++x) ASSERT_EQ(PixelAt(x, y), white) << x << "," << y;
    EXPECT_EQ(PixelAt(131, 2), black);  // the exit button is still there
    ShowWindow(windows.erase, SW_SHOW);
    RunLoopUntilIdle();
    EXPECT_EQ(PixelAt(101, 2), black);
}

}  // namespace

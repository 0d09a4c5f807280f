// Classes, creation, placement, stacking, showing and hiding, as the
// program relies on them and as they show on the screen.
#include "window_test_support.h"

namespace {

constexpr uint32_t kDesktop = qoz::host::kDesktopColour;

class WindowTableTest : public WindowSystemTest {
protected:
    HWND CreateBordered(int x, int y, int width, int height) {
        HWND window = CreateWindowExW(0, u"", u"w", WS_VISIBLE | WS_BORDER, x, y, width, height,
                                      nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(window, nullptr);
        return window;
    }
};

TEST_F(WindowTableTest, ClassNamesAreCaseInsensitiveAndTheEmptyNameIsValid) {
    RegisterRecordingClass(u"");
    WNDCLASSW again{};
    again.lpfnWndProc = RecordingProcedure;
    again.lpszClassName = u"";
    EXPECT_EQ(RegisterClassW(&again), 0);  // already there
    again.lpszClassName = u"Pad";
    EXPECT_NE(RegisterClassW(&again), 0);
    again.lpszClassName = u"PAD";
    EXPECT_EQ(RegisterClassW(&again), 0);
    again.lpszClassName = u"other";
    again.lpfnWndProc = nullptr;
    EXPECT_EQ(RegisterClassW(&again), 0);
    EXPECT_EQ(RegisterClassW(nullptr), 0);

    EXPECT_NE(CreateWindowExW(0, u"pad", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_NE(CreateWindowExW(0, u"", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(WindowTableTest, CreationFailsForUnknownClassesAndOrphanChildren) {
    RegisterRecordingClass(u"");
    EXPECT_EQ(CreateWindowExW(0, u"nothing", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(CreateWindowExW(0, nullptr, u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(CreateWindowExW(0, u"button", u"x", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, nullptr,
                              nullptr, nullptr, nullptr),
              nullptr);
    HWND bogus = reinterpret_cast<HWND>(uintptr_t(0x1234));
    EXPECT_EQ(CreateWindowExW(0, u"button", u"x", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, bogus,
                              nullptr, nullptr, nullptr),
              nullptr);
    HWND parent = CreateBordered(0, 0, 100, 100);
    EXPECT_NE(CreateWindowExW(0, u"BUTTON", u"x", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                              nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_NE(CreateWindowExW(0, u"Button", u"x", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                              nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(WindowTableTest, ScreenMetricsFollowTheSimulatedScreen) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 320);
    qoz::host::SetScreenSize(320, 240);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 240);
    EXPECT_EQ(qoz::host::ScreenPixels().size(), size_t(320 * 240));
}

TEST_F(WindowTableTest, TheProgramWindowStays240By320OnAWideScreen) {
    qoz::host::SetScreenSize(320, 240);
    ProgramWindows windows = CreateProgramWindows();
    ASSERT_NE(windows.main, nullptr);
    RunMessageLoop();
    EXPECT_EQ(PixelAt(239, 100), kBlackPixel);  // its right border
    EXPECT_EQ(PixelAt(238, 100), kWhitePixel);
    EXPECT_EQ(PixelAt(240, 100), kDesktop);
    EXPECT_EQ(PixelAt(319, 0), kDesktop);
    EXPECT_EQ(PixelAt(1, 239), kWhitePixel);  // the rest lies below the screen
}

TEST_F(WindowTableTest, SetWindowPosHonoursItsFlags) {
    RegisterRecordingClass(u"");
    EXPECT_FALSE(SetWindowPos(nullptr, HWND_TOPMOST, 0, 0, 10, 10, 0));
    HWND window = CreateBordered(10, 10, 50, 50);
    RunMessageLoop();
    EXPECT_EQ(PixelAt(10, 10), kBlackPixel);

    EXPECT_TRUE(SetWindowPos(window, HWND_TOPMOST, 100, 100, 20, 20, SWP_NOSIZE));
    RunMessageLoop();
    EXPECT_EQ(PixelAt(10, 10), kDesktop);
    EXPECT_EQ(PixelAt(30, 30), kDesktop);
    EXPECT_EQ(PixelAt(100, 100), kBlackPixel);
    EXPECT_EQ(PixelAt(149, 149), kBlackPixel);
    EXPECT_EQ(PixelAt(148, 148), kWhitePixel);

    EXPECT_TRUE(SetWindowPos(window, HWND_TOPMOST, 0, 0, 20, 20, SWP_NOMOVE));
    RunMessageLoop();
    EXPECT_EQ(PixelAt(119, 119), kBlackPixel);
    EXPECT_EQ(PixelAt(120, 120), kDesktop);
    EXPECT_EQ(PixelAt(149, 149), kDesktop);
}

TEST_F(WindowTableTest, ATopmostWindowStaysAboveLaterWindows) {
    RegisterRecordingClass(u"");
    HWND first = CreateBordered(0, 0, 100, 100);
    SetWindowPos(first, HWND_TOPMOST, 0, 0, 100, 100, 0);
    CreateBordered(50, 50, 100, 100);
    RunMessageLoop();
    EXPECT_EQ(PixelAt(99, 70), kBlackPixel);  // the first one's right border
    EXPECT_EQ(PixelAt(70, 50), kWhitePixel);  // the second's border is covered
    EXPECT_EQ(PixelAt(120, 50), kBlackPixel);

    // Without topmost, the later window is the upper one.
    qoz::host::ResetWindowSystemForTesting();
    RegisterRecordingClass(u"");
    CreateBordered(0, 0, 100, 100);
    CreateBordered(50, 50, 100, 100);
    RunMessageLoop();
    EXPECT_EQ(PixelAt(70, 50), kBlackPixel);
    EXPECT_EQ(PixelAt(99, 70), kWhitePixel);
}

TEST_F(WindowTableTest, ShowWindowReturnsThePreviousVisibility) {
    RegisterRecordingClass(u"");
    HWND window = CreateBordered(0, 0, 50, 50);
    EXPECT_TRUE(ShowWindow(window, SW_SHOW));
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(ShowWindow(window, SW_SHOW));
    EXPECT_FALSE(ShowWindow(nullptr, SW_SHOW));
}

TEST_F(WindowTableTest, AWindowCreatedHiddenIsNeitherPaintedNorHit) {
    RegisterRecordingClass(u"");
    HWND window = CreateWindowExW(0, u"", u"", WS_BORDER, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                  nullptr);
    RunMessageLoop();
    EXPECT_TRUE(messageLog.empty());
    EXPECT_EQ(PixelAt(0, 0), kDesktop);

    ShowWindow(window, SW_SHOW);
    EXPECT_EQ(PixelAt(0, 0), kBlackPixel);  // the border at once
    RunMessageLoop();
    EXPECT_EQ(LoggedMessagesFor(window), std::vector<UINT>{WM_PAINT});
    EXPECT_EQ(PixelAt(10, 10), kWhitePixel);

    ShowWindow(window, SW_HIDE);
    EXPECT_EQ(PixelAt(0, 0), kDesktop);
    EXPECT_EQ(PixelAt(10, 10), kDesktop);
}

TEST_F(WindowTableTest, HidingAChildRepaintsTheParentBeneathWithErasing) {
    ProgramWindows windows = CreateProgramWindows();
    RunMessageLoop();
    bool sawCaption = false;
    for (int y = 3; y < 31 && !sawCaption; ++y)
        for (int x = 103; x < 130; ++x)
            if (PixelAt(x, y) != kWhitePixel) sawCaption = true;
    EXPECT_TRUE(sawCaption);
    EXPECT_EQ(PixelAt(101, 2), kBlackPixel);  // the button's frame

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
    RunMessageLoop();
    EXPECT_EQ(LoggedMessagesFor(windows.main), std::vector<UINT>{WM_PAINT});
    EXPECT_EQ(painted.left, 100);
    EXPECT_EQ(painted.top, 1);
    EXPECT_EQ(painted.right, 130);
    EXPECT_EQ(painted.bottom, 31);
    EXPECT_FALSE(fErase);  // erased with the white class brush
    for (int y = 2; y < 32; ++y)
        for (int x = 101; x < 131; ++x) ASSERT_EQ(PixelAt(x, y), kWhitePixel) << x << "," << y;
    EXPECT_EQ(PixelAt(131, 2), kBlackPixel);  // the exit button is still there

    ShowWindow(windows.erase, SW_SHOW);
    RunMessageLoop();
    EXPECT_EQ(PixelAt(101, 2), kBlackPixel);
    EXPECT_EQ(PixelAt(103, 4), kWhitePixel);  // inside the frame
}

TEST_F(WindowTableTest, TheCalibrationButtonIsCutAtTheParentsClientArea) {
    ProgramWindows windows = CreateProgramWindows();
    ASSERT_NE(windows.calibrate, nullptr);
    RunMessageLoop();
    EXPECT_EQ(PixelAt(161, 2), kBlackPixel);  // its left frame
    EXPECT_EQ(PixelAt(238, 10), kWhitePixel);  // its right frame would be at 240
    EXPECT_EQ(PixelAt(239, 10), kBlackPixel);  // the main window's border
}

}  // namespace

// Exact pixels of Polyline with the default pen, of the border and of
// erasing, and how drawing is clipped: to the client area, to the pending
// update, around children and windows above, and to the screen.
#include "tests/support/window_system_test.h"

namespace {

class PolylineTest : public WindowSystemTest {
protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        RegisterRecordingClass();
    }
    HWND CreateTopLevel(int x, int y, int width, int height, DWORD style = WS_BORDER) {
        HWND window = CreateWindowExW(0, u"", u"w", style | WS_VISIBLE, x, y, width, height,
                                      nullptr, nullptr, nullptr, nullptr);
        UpdateWindow(window);
        return window;
    }
    static void Draw(HWND window, std::vector<POINT> points, BOOL erase = FALSE) {
        PaintNow(window, erase,
                 [&](HDC dc, PAINTSTRUCT&) { Polyline(dc, points.data(), int(points.size())); });
    }
};

TEST_F(PolylineTest, BorderIsBlackAndTheClientAreaStartsInsideIt) {
    HWND window = CreateTopLevel(0, 0, 240, 320);
    for (auto [x, y] : {std::pair{0, 0}, {239, 0}, {0, 319}, {239, 319}, {120, 0}, {0, 160}})
        EXPECT_EQ(PixelAt(x, y), black) << x << "," << y;
    EXPECT_EQ(BlackPixelsIn(1, 1, 239, 319), PixelSet{});  // erased white
    Draw(window, {{0, 0}, {3, 0}});
    EXPECT_EQ(BlackPixelsIn(1, 1, 239, 319), (PixelSet{{1, 1}, {2, 1}, {3, 1}}));
}

TEST_F(PolylineTest, BresenhamWithoutTheLastPoint) {
    HWND window = CreateTopLevel(0, 0, 240, 320, 0);
    Draw(window, {{10, 10}, {14, 10}, {14, 13}});  // each corner drawn once
    EXPECT_EQ(BlackPixelsIn(0, 0, 240, 320),
              (PixelSet{{10, 10}, {11, 10}, {12, 10}, {13, 10}, {14, 10}, {14, 11}, {14, 12}}));
    Draw(window, {{0, 0}, {5, 2}}, TRUE);
    EXPECT_EQ(BlackPixelsIn(0, 0, 240, 320), (PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    Draw(window, {{30, 0}, {32, 5}}, TRUE);
    EXPECT_EQ(BlackPixelsIn(0, 0, 240, 320), (PixelSet{{30, 0}, {30, 1}, {31, 2}, {31, 3}, {32, 4}}));
    Draw(window, {{5, 2}, {0, 0}}, TRUE);  // backwards: the other end is left out
    EXPECT_EQ(BlackPixelsIn(0, 0, 240, 320), (PixelSet{{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}}));
}

TEST_F(PolylineTest, TargetCrossOfTheFirstTarget) {
    HWND window = CreateTopLevel(0, 0, 240, 320);
    PaintNow(window, TRUE, [](HDC dc, PAINTSTRUCT&) {
        POINT down[] = {{19, 27}, {29, 37}};
        POINT up[] = {{29, 27}, {19, 37}};
        Polyline(dc, down, 2);
        Polyline(dc, up, 2);
    });
    PixelSet expected;
    for (int i = 0; i < 10; ++i) {
        expected.insert({1 + 19 + i, 1 + 27 + i});
        expected.insert({1 + 29 - i, 1 + 27 + i});
    }
    EXPECT_EQ(BlackPixelsIn(1, 1, 239, 319), expected);
}

TEST_F(PolylineTest, FewerThanTwoPointsOrFarBeyondRangeDrawNothing) {
    HWND window = CreateTopLevel(0, 0, 240, 320);
    PaintNow(window, FALSE, [](HDC dc, PAINTSTRUCT&) {
        POINT one[] = {{5, 5}};
        EXPECT_FALSE(Polyline(dc, one, 1));
        EXPECT_FALSE(Polyline(dc, one, 0));
        EXPECT_FALSE(Polyline(dc, nullptr, 2));
        POINT same[] = {{7, 7}, {7, 7}};
        EXPECT_TRUE(Polyline(dc, same, 2));
        POINT far[] = {{0, 9}, {1 << 28, 9}};
        EXPECT_FALSE(Polyline(dc, far, 2));
    });
    EXPECT_EQ(BlackPixelsIn(1, 1, 239, 319), PixelSet{});
    // Far off but in range: only the visible part costs anything.
    Draw(window, {{-100000000, 5}, {100000000, 5}});
    EXPECT_EQ(BlackPixelsIn(1, 6, 239, 7).size(), 238u);
}

TEST_F(PolylineTest, ClippedToTheClientArea) {
    HWND window = CreateTopLevel(20, 20, 50, 50);  // client (21, 21), 48 x 48
    Draw(window, {{-10, 5}, {100, 5}, {100, 500}});
    for (int x = 0; x < 240; ++x) {
        bool windowRow = x >= 20 && x <= 69;  // border, line, border
        EXPECT_EQ(PixelAt(x, 26), windowRow ? black : desktop) << x;
    }
    EXPECT_EQ(BlackPixelsIn(0, 71, 240, 320), PixelSet{});
}

TEST_F(PolylineTest, ChildrenAndWindowsAboveAreNotDrawnOver) {
    WNDCLASSW greyClass{};
    greyClass.lpfnWndProc = RecordingProcedure;
    greyClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(2));  // GRAY_BRUSH
    greyClass.lpszClassName = u"grey";
    ASSERT_NE(RegisterClassW(&greyClass), 0);
    HWND lower = CreateTopLevel(0, 0, 100, 100, 0);
    HWND child = CreateWindowExW(0, u"grey", u"", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, lower,
                                 nullptr, nullptr, nullptr);
    UpdateWindow(child);
    HWND upper = CreateTopLevel(50, 50, 100, 100, 0);
    SetWindowPos(upper, HWND_TOPMOST, 50, 50, 100, 100, 0);
    UpdateWindow(upper);
    Draw(lower, {{0, 15}, {100, 15}, {100, 60}, {0, 60}});
    for (int x = 0; x < 100; ++x) {
        EXPECT_EQ(PixelAt(x, 15), (x >= 10 && x < 30) ? 0x808080u : black) << x;
        // The last point, (0, 60), is not drawn; from x 50 on the upper window lies on top.
        EXPECT_EQ(PixelAt(x, 60), (x > 0 && x < 50) ? black : white) << x;
    }
}

TEST_F(PolylineTest, ClippedToTheScreen) {
    HWND window = CreateTopLevel(200, 300, 100, 100, 0);
    Draw(window, {{0, 0}, {99, 99}});
    PixelSet expected;
    for (int i = 0; i < 20; ++i) expected.insert({200 + i, 300 + i});
    EXPECT_EQ(BlackPixelsIn(0, 0, 240, 320), expected);
}

TEST_F(PolylineTest, DrawingOutsideThePendingUpdateIsClipped) {
    HWND window = CreateTopLevel(0, 0, 240, 320, 0);
    paintHandler = [](HWND painted) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(painted, &paint);
        EXPECT_EQ(paint.rcPaint.right, 10);
        EXPECT_EQ(paint.rcPaint.bottom, 10);
        POINT lines[] = {{0, 5}, {50, 5}, {50, 20}, {0, 20}};
        Polyline(dc, lines, 4);
        EndPaint(painted, &paint);
    };
    RECT corner{0, 0, 10, 10};
    InvalidateRect(window, &corner, FALSE);
    UpdateWindow(window);
    PixelSet expected;
    for (int x = 0; x < 10; ++x) expected.insert({x, 5});
    EXPECT_EQ(BlackPixelsIn(0, 0, 240, 320), expected);
}

TEST_F(PolylineTest, EraseWithTheClassBrushOnlyWhenAsked) {
    HWND window = CreateTopLevel(0, 0, 240, 320);
    Draw(window, {{10, 10}, {20, 10}});
    BOOL fErase = TRUE;
    PaintNow(window, FALSE, [&](HDC, PAINTSTRUCT& paint) { fErase = paint.fErase; });
    EXPECT_EQ(BlackPixelsIn(1, 1, 239, 319).size(), 10u);  // kept
    EXPECT_FALSE(fErase);
    InvalidateRect(window, nullptr, TRUE);  // erasing is ORed into the next request
    PaintNow(window, FALSE, [&](HDC, PAINTSTRUCT& paint) { fErase = paint.fErase; });
    EXPECT_EQ(BlackPixelsIn(1, 1, 239, 319), PixelSet{});
    EXPECT_EQ(PixelAt(11, 11), white);
    EXPECT_FALSE(fErase);  // the class brush did it
}

}  // namespace

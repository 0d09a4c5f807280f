// Exact pixels of Polyline with the default pen, of the border and of
// erasing, and how drawing is clipped: to the client area, to the pending
// update, around children and windows above, and to the screen.
#include <set>
#include <utility>

#include "window_test_support.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

constexpr uint32_t kDesktop = qoz::host::kDesktopColour;
constexpr uint32_t kGrey = 0x808080;

class PolylineTest : public WindowSystemTest {
protected:
    void SetUp() override {
        WindowSystemTest::SetUp();
        RegisterRecordingClass(u"");
    }

    HWND CreateTopLevel(int x, int y, int width, int height, DWORD style = WS_BORDER) {
        HWND window = CreateWindowExW(0, u"", u"w", style | WS_VISIBLE, x, y, width, height,
                                      nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(window, nullptr);
        UpdateWindow(window);
        return window;
    }

    // Repaints the window once, drawing one polyline in its WM_PAINT.
    void Draw(HWND window, std::vector<POINT> points, BOOL erase = FALSE) {
        paintHandler = [points](HWND painted) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(painted, &paint);
            Polyline(dc, points.data(), int(points.size()));
            EndPaint(painted, &paint);
        };
        InvalidateRect(window, nullptr, erase);
        UpdateWindow(window);
        paintHandler = nullptr;
    }

    static Pixels BlackIn(int left, int top, int right, int bottom) {
        Pixels found;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (PixelAt(x, y) == kBlackPixel) found.insert({x, y});
        return found;
    }
};

TEST_F(PolylineTest, BorderIsBlackAndTheClientAreaStartsInsideIt) {
    HWND window = CreateTopLevel(0, 0, 240, 320);
    for (auto [x, y] : {std::pair{0, 0}, {239, 0}, {0, 319}, {239, 319}, {120, 0}, {0, 160}})
        EXPECT_EQ(PixelAt(x, y), kBlackPixel) << x << "," << y;
    EXPECT_EQ(BlackIn(1, 1, 239, 319), Pixels{});  // erased white

    Draw(window, {{0, 0}, {3, 0}});
    EXPECT_EQ(BlackIn(1, 1, 239, 319), (Pixels{{1, 1}, {2, 1}, {3, 1}}));
}

TEST_F(PolylineTest, LastPointIsNotDrawnAndCornersOnce) {
    HWND window = CreateTopLevel(0, 0, 240, 320, 0);
    Draw(window, {{10, 10}, {14, 10}, {14, 13}});
    EXPECT_EQ(BlackIn(0, 0, 240, 320), (Pixels{{10, 10}, {11, 10}, {12, 10}, {13, 10}, {14, 10},
                                              {14, 11}, {14, 12}}));
}

TEST_F(PolylineTest, SlopedLinesFollowBresenham) {
    HWND window = CreateTopLevel(0, 0, 240, 320, 0);
    Draw(window, {{0, 0}, {5, 2}});
    EXPECT_EQ(BlackIn(0, 0, 20, 20), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));

    Draw(window, {{30, 0}, {32, 5}}, TRUE);
    EXPECT_EQ(BlackIn(0, 0, 60, 20), (Pixels{{30, 0}, {30, 1}, {31, 2}, {31, 3}, {32, 4}}));

    // Drawn backwards, the other end is the one left out.
    Draw(window, {{5, 2}, {0, 0}}, TRUE);
    EXPECT_EQ(BlackIn(0, 0, 20, 20), (Pixels{{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}}));
}

TEST_F(PolylineTest, TargetCrossOfTheFirstTarget) {
    HWND window = CreateTopLevel(0, 0, 240, 320);
    paintHandler = [](HWND painted) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(painted, &paint);
        POINT down[] = {{19, 27}, {29, 37}};
        POINT up[] = {{29, 27}, {19, 37}};
        Polyline(dc, down, 2);
        Polyline(dc, up, 2);
        EndPaint(painted, &paint);
    };
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    Pixels expected;
    for (int i = 0; i < 10; ++i) {
        expected.insert({1 + 19 + i, 1 + 27 + i});
        expected.insert({1 + 29 - i, 1 + 27 + i});
    }
    EXPECT_EQ(expected.size(), 19u);  // the strokes share their middle pixel
    EXPECT_EQ(BlackIn(1, 1, 239, 319), expected);
}

TEST_F(PolylineTest, FewerThanTwoPointsDrawNothing) {
    HWND window = CreateTopLevel(0, 0, 240, 320);
    paintHandler = [](HWND painted) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(painted, &paint);
        POINT one[] = {{5, 5}};
        EXPECT_FALSE(Polyline(dc, one, 1));
        EXPECT_FALSE(Polyline(dc, one, 0));
        EXPECT_FALSE(Polyline(dc, nullptr, 2));
        POINT same[] = {{7, 7}, {7, 7}};
        EXPECT_TRUE(Polyline(dc, same, 2));  // a segment of no length
        EndPaint(painted, &paint);
    };
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(BlackIn(1, 1, 239, 319), Pixels{});
}

TEST_F(PolylineTest, ClippedToTheClientArea) {
    HWND window = CreateTopLevel(20, 20, 50, 50);  // client (21,21) 48 x 48
    Draw(window, {{-10, 5}, {100, 5}, {100, 500}});
    for (int x = 0; x < 240; ++x) {
        uint32_t expected = kDesktop;
        if (x == 20 || x == 69) expected = kBlackPixel;  // the border
        if (x >= 21 && x <= 68) expected = kBlackPixel;  // the line
        EXPECT_EQ(PixelAt(x, 26), expected) << x;
    }
    EXPECT_EQ(BlackIn(0, 71, 240, 320), Pixels{});
}

TEST_F(PolylineTest, ChildrenAreNotDrawnOver) {
    WNDCLASSW greyClass{};
    greyClass.lpfnWndProc = RecordingProcedure;
    greyClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(2));  // GRAY_BRUSH
    greyClass.lpszClassName = u"grey";
    ASSERT_NE(RegisterClassW(&greyClass), 0);
    HWND window = CreateTopLevel(0, 0, 240, 320);
    HWND child = CreateWindowExW(0, u"grey", u"", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, window,
                                 nullptr, nullptr, nullptr);
    UpdateWindow(child);
    Draw(window, {{0, 15}, {50, 15}}, TRUE);
    for (int x = 1; x < 51; ++x) {
        bool underChild = x >= 11 && x < 31;
        EXPECT_EQ(PixelAt(x, 16), underChild ? kGrey : kBlackPixel) << x;
    }
}

TEST_F(PolylineTest, WindowsAboveAreNotDrawnOver) {
    HWND lower = CreateTopLevel(0, 0, 100, 100, 0);
    HWND upper = CreateTopLevel(50, 50, 100, 100, 0);
    SetWindowPos(upper, HWND_TOPMOST, 50, 50, 100, 100, 0);
    UpdateWindow(upper);
    Draw(lower, {{0, 60}, {100, 60}});
    EXPECT_EQ(BlackIn(0, 60, 240, 61), [] {
        Pixels row;
        for (int x = 0; x < 50; ++x) row.insert({x, 60});
        return row;
    }());
}

TEST_F(PolylineTest, ClippedToTheScreen) {
    HWND window = CreateTopLevel(200, 300, 100, 100, 0);
    Draw(window, {{0, 0}, {99, 99}});
    Pixels expected;
    for (int i = 0; i < 20; ++i) expected.insert({200 + i, 300 + i});
    EXPECT_EQ(BlackIn(0, 0, 240, 320), expected);
}

TEST_F(PolylineTest, FarOffCoordinatesAreCheapAndOutOfRangeOnesRefused) {
    HWND window = CreateTopLevel(0, 0, 240, 320, 0);
    Draw(window, {{-100000000, 5}, {100000000, 5}});
    EXPECT_EQ(BlackIn(0, 5, 240, 6).size(), 240u);

    paintHandler = [](HWND painted) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(painted, &paint);
        POINT far[] = {{0, 9}, {1 << 28, 9}};
        EXPECT_FALSE(Polyline(dc, far, 2));
        EndPaint(painted, &paint);
    };
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(BlackIn(0, 9, 240, 10), Pixels{});
}

TEST_F(PolylineTest, DrawingOutsideThePendingUpdateIsClipped) {
    HWND window = CreateTopLevel(0, 0, 240, 320, 0);
    paintHandler = [](HWND painted) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(painted, &paint);
        EXPECT_EQ(paint.rcPaint.right, 10);
        EXPECT_EQ(paint.rcPaint.bottom, 10);
        POINT inside[] = {{0, 5}, {50, 5}};
        POINT below[] = {{0, 20}, {50, 20}};
        Polyline(dc, inside, 2);
        Polyline(dc, below, 2);
        EndPaint(painted, &paint);
    };
    RECT corner{0, 0, 10, 10};
    InvalidateRect(window, &corner, FALSE);
    UpdateWindow(window);
    Pixels expected;
    for (int x = 0; x < 10; ++x) expected.insert({x, 5});
    EXPECT_EQ(BlackIn(0, 0, 240, 320), expected);
}

TEST_F(PolylineTest, EraseWithTheClassBrushOnlyWhenAsked) {
    HWND window = CreateTopLevel(0, 0, 240, 320);
    Draw(window, {{10, 10}, {20, 10}});
    bool erasedFlag = true;
    paintHandler = [&](HWND painted) {
        PAINTSTRUCT paint;
        BeginPaint(painted, &paint);
        erasedFlag = paint.fErase != FALSE;
        EndPaint(painted, &paint);
    };
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(BlackIn(1, 1, 239, 319).size(), 10u);  // kept
    EXPECT_FALSE(erasedFlag);

    InvalidateRect(window, nullptr, FALSE);
    InvalidateRect(window, nullptr, TRUE);  // erasing is ORed in
    UpdateWindow(window);
    EXPECT_EQ(BlackIn(1, 1, 239, 319), Pixels{});
    EXPECT_EQ(PixelAt(11, 11), kWhitePixel);
    EXPECT_FALSE(erasedFlag);  // the class brush did it
    paintHandler = nullptr;
}

TEST_F(PolylineTest, WithoutAClassBrushErasingIsLeftToTheProcedure) {
    WNDCLASSW bare{};
    bare.lpfnWndProc = RecordingProcedure;
    bare.lpszClassName = u"bare";
    ASSERT_NE(RegisterClassW(&bare), 0);
    HWND window = CreateWindowExW(0, u"bare", u"", WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr, nullptr);
    BOOL fErase = FALSE;
    paintHandler = [&](HWND painted) {
        PAINTSTRUCT paint;
        BeginPaint(painted, &paint);
        fErase = paint.fErase;
        EndPaint(painted, &paint);
    };
    UpdateWindow(window);
    EXPECT_TRUE(fErase);
    EXPECT_EQ(PixelAt(10, 10), kDesktop);
}

TEST_F(PolylineTest, DeviceContextEndsWithEndPaint) {
    HWND window = CreateTopLevel(0, 0, 240, 320, 0);
    HDC kept = nullptr;
    paintHandler = [&](HWND painted) {
        PAINTSTRUCT paint;
        kept = BeginPaint(painted, &paint);
        EXPECT_TRUE(EndPaint(painted, &paint));
        EXPECT_FALSE(EndPaint(painted, &paint));
    };
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    ASSERT_NE(kept, nullptr);
    POINT line[] = {{0, 0}, {10, 0}};
    EXPECT_FALSE(Polyline(kept, line, 2));
    EXPECT_EQ(BlackIn(0, 0, 240, 320), Pixels{});
}

}  // namespace

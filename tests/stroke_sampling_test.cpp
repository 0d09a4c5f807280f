#include <gtest/gtest.h>

#include "calibration/stroke_buffer.h"
#include "calibration/tap_sampling.h"

namespace {

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

class StrokeSampling : public ::testing::Test {
protected:
    void SetUp() override {
        strokeIndex = 0;
        strokeLength = 0;
        sampleIndex = 0;
        for (int i = 0; i < TARGET_COUNT; ++i) sampleX[i] = sampleY[i] = -1.0f;
    }
};

TEST_F(StrokeSampling, EachPenEventStoresTheNextPositionAndThePadDrawsOneSegmentMore) {
    void (*const events[])(LPARAM) = {BeginStroke, ExtendStroke, ExtendStroke, EndStroke};
    for (int i = 0; i < 4; ++i) {
        events[i](At(10 + i, 20 + i));
        EXPECT_EQ(strokeIndex, i) << "event " << i;
        EXPECT_EQ(strokeLength, i) << "event " << i;
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(strokePoints[i].x, 10 + i);
        EXPECT_EQ(strokePoints[i].y, 20 + i);
    }
}

TEST_F(StrokeSampling, PositionsUnpackAsUnsignedSixteenBitHalves) {
    BeginStroke((LPARAM)(DWORD)0xFFFF8001u);
    EXPECT_EQ(strokePoints[0].x, 0x8001);
    EXPECT_EQ(strokePoints[0].y, 0xFFFF);
}

TEST_F(StrokeSampling, TheRingWrapsAfter255MovesAndCountsOnFromZero) {
    BeginStroke(At(1, 1));
    for (int i = 1; i <= 255; ++i) ExtendStroke(At(i, 2 * i));
    EXPECT_EQ(strokeIndex, 255);
    ExtendStroke(At(500, 600));  // the 256th position after pen-down
    EXPECT_EQ(strokeIndex, 0);
    EXPECT_EQ(strokeLength, 0);
    EXPECT_EQ(strokePoints[0].x, 500);
    ExtendStroke(At(501, 601));
    EXPECT_EQ(strokeIndex, 1);
    EXPECT_EQ(strokeLength, 1);
}

TEST_F(StrokeSampling, TapWithoutMovesSamplesThePenDownPosition) {
    BeginStroke(At(30, 40));
    EndStroke(At(90, 90));
    EXPECT_EQ(CollectTapSample(), 0);
    EXPECT_FLOAT_EQ(sampleX[0], 30.0f);
    EXPECT_FLOAT_EQ(sampleY[0], 40.0f);
    EXPECT_EQ(sampleIndex, 1);
}

TEST_F(StrokeSampling, PenUpPositionIsLeftOutOfTheMean) {
    BeginStroke(At(10, 100));
    ExtendStroke(At(20, 200));
    ExtendStroke(At(33, 301));
    EndStroke(At(1000, 1000));
    CollectTapSample();
    EXPECT_FLOAT_EQ(sampleX[0], 21.0f);
    EXPECT_FLOAT_EQ(sampleY[0], (float)(601.0 / 3.0));
}

TEST_F(StrokeSampling, LongTapAveragesOnlyWhatWasWrittenSinceTheLastWrap) {
    BeginStroke(At(9999, 9999));
    for (int i = 0; i < 255; ++i) ExtendStroke(At(9999, 9999));
    // Wrapped: these land in entries 0, 1 and 2; the pen-up in entry 3.
    ExtendStroke(At(3, 30));
    ExtendStroke(At(6, 60));
    ExtendStroke(At(9, 90));
    EndStroke(At(9999, 9999));
    CollectTapSample();
    EXPECT_FLOAT_EQ(sampleX[0], 6.0f);
    EXPECT_FLOAT_EQ(sampleY[0], 60.0f);
}

TEST_F(StrokeSampling, TapThatWrapsToNoPositionsAveragesTheMovesBeforeThePenUp) {
    BeginStroke(At(65535, 65535));  // overwritten by the pen-up below
    for (int i = 1; i <= 255; ++i) ExtendStroke(At(i % 2 == 0 ? 100 : 200, 50));
    EndStroke(At(65535, 65535));
    ASSERT_EQ(strokeIndex, 0);
    EXPECT_EQ(CollectTapSample(), 0);
    // 128 moves at 200 and 127 at 100.
    EXPECT_FLOAT_EQ(sampleX[0], (float)((128.0 * 200 + 127.0 * 100) / 255.0));
    EXPECT_FLOAT_EQ(sampleY[0], 50.0f);
}

TEST_F(StrokeSampling, SamplesAtTheLargestCoordinatesStayExact) {
    BeginStroke(At(65535, 65535));
    for (int i = 0; i < 254; ++i) ExtendStroke(At(65535, 65535));
    EndStroke(At(0, 0));
    CollectTapSample();
    EXPECT_FLOAT_EQ(sampleX[0], 65535.0f);
    EXPECT_FLOAT_EQ(sampleY[0], 65535.0f);
}

TEST_F(StrokeSampling, OnlyTheFifthTapReportsTheEndAndEachFillsItsOwnSample) {
    for (int tap = 0; tap < TARGET_COUNT; ++tap) {
        BeginStroke(At(tap * 10, tap * 20));
        EndStroke(At(0, 0));
        int last = CollectTapSample();
        EXPECT_EQ(last, tap == TARGET_COUNT - 1 ? 1 : 0) << "tap " << tap;
        EXPECT_EQ(sampleIndex, tap + 1);
        for (int later = tap + 1; later < TARGET_COUNT; ++later)
            EXPECT_FLOAT_EQ(sampleX[later], -1.0f) << "tap " << tap << " touched " << later;
    }
    EXPECT_FLOAT_EQ(sampleX[4], 40.0f);
    EXPECT_FLOAT_EQ(sampleY[4], 80.0f);
}

}  // namespace

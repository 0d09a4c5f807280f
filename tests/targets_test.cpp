#include <gtest/gtest.h>

#include "calibration/targets.h"

namespace {

void ExpectTargets(const float (&x)[TARGET_COUNT], const float (&y)[TARGET_COUNT]) {
    for (int i = 0; i < TARGET_COUNT; ++i) {
        EXPECT_EQ(targetX[i], x[i]) << "target " << i;
        EXPECT_EQ(targetY[i], y[i]) << "target " << i;
    }
}

TEST(Targets, PortraitScreen) {
    LayOutTargets(240.0f, 320.0f);
    ExpectTargets({24, 216, 216, 24, 120}, {32, 32, 288, 288, 160});
}

TEST(Targets, LandscapeScreenPutsTheRightTargetsOutsideTheWindow) {
    LayOutTargets(320.0f, 240.0f);
    ExpectTargets({32, 288, 288, 32, 160}, {24, 24, 216, 216, 120});
    EXPECT_GT(targetX[1], 240.0f);
}

TEST(Targets, RoundingFollowsTheDoublePrecisionProducts) {
    LayOutTargets(241.0f, 321.0f);
    EXPECT_EQ(targetX[0], (float)(241.0 * 0.1));
    EXPECT_EQ(targetX[1], (float)(241.0 * 0.9));
    EXPECT_EQ(targetX[4], (float)(((double)(float)(241.0 * 0.9) + (float)(241.0 * 0.1)) * 0.5));
    EXPECT_EQ(targetY[4], (float)((321.0 * 0.9 + (double)(float)(321.0 * 0.1)) * 0.5));
}

}  // namespace

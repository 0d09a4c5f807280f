#include <gtest/gtest.h>

#include "calibration/targets.h"

namespace {

struct Layout {
    const char* name;
    float width, height;
    float x[TARGET_COUNT], y[TARGET_COUNT];
};

class Targets : public ::testing::TestWithParam<Layout> {};

TEST_P(Targets, LieAtATenthAndNineTenthsOfTheScreenAndInItsCentre) {
    const Layout& layout = GetParam();
    LayOutTargets(layout.width, layout.height);
    for (int i = 0; i < TARGET_COUNT; ++i) {
        EXPECT_EQ(targetX[i], layout.x[i]) << "target " << i;
        EXPECT_EQ(targetY[i], layout.y[i]) << "target " << i;
    }
}

// On a landscape screen the right-hand targets lie beyond the 240-pixel-wide
// window. On 241 x 321 each product is rounded once, from double precision,
// to the float nearest 24.1, 32.1 and so on; in single precision the first y
// would be 32.1000023 rather than 32.0999985.
INSTANTIATE_TEST_SUITE_P(
    Screens, Targets,
    ::testing::Values(
        Layout{"Portrait", 240, 320, {24, 216, 216, 24, 120}, {32, 32, 288, 288, 160}},
        Layout{"Landscape", 320, 240, {32, 288, 288, 32, 160}, {24, 24, 216, 216, 120}},
        Layout{"OddSizeRoundedFromDoubles",
               241,
               321,
               {24.1f, 216.9f, 216.9f, 24.1f, 120.5f},
               {32.1f, 32.1f, 288.9f, 288.9f, 160.5f}}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

}  // namespace

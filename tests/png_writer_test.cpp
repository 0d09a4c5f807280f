#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/host/simulator/png_writer.h"
#include "tests/support/png_image.h"
#include "tests/support/scratch_environment.h"

namespace {

TEST(PngScreenshots, KeepEveryPixelExactly) {
    ScratchEnvironment scratch;
    const int width = 3, height = 2;
    std::vector<uint32_t> pixels = {0x000000, 0xFFFFFF, 0x123456, 0xFF0000, 0x00FF00, 0x0000FF};
    std::string error;
    auto path = scratch.dir() / "shot.png";
    ASSERT_TRUE(qoz::sim::WritePng(path.string(), pixels, width, height, error)) << error;
    auto image = ReadPng(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, width);
    EXPECT_EQ(image->height, height);
    EXPECT_EQ(image->pixels, pixels);
}

TEST(PngScreenshots, IgnoreTheUnusedTopByte) {
    ScratchEnvironment scratch;
    std::string error;
    auto path = scratch.dir() / "shot.png";
    ASSERT_TRUE(qoz::sim::WritePng(path.string(), {0xAB102030}, 1, 1, error)) << error;
    auto image = ReadPng(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, std::vector<uint32_t>{0x102030});
}

TEST(PngScreenshots, ReportAFileThatCannotBeWritten) {
    ScratchEnvironment scratch;
    std::string error;
    auto missingFolder = scratch.dir() / "gone" / "shot.png";
    EXPECT_FALSE(qoz::sim::WritePng(missingFolder.string(), {0}, 1, 1, error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_FALSE(qoz::sim::WritePng(scratch.dir().string(), {0}, 1, 1, error));
    EXPECT_EQ(error, "Is a directory");
}

TEST(PngScreenshots, RefuseAPixelCountThatDoesNotMatchTheSize) {
    ScratchEnvironment scratch;
    std::string error;
    auto path = scratch.dir() / "shot.png";
    EXPECT_FALSE(qoz::sim::WritePng(path.string(), {0, 0, 0}, 2, 2, error));
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace

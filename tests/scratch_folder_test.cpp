// The tests' own scratch folders: a killed test process's folder goes with
// the next process that makes one, and nothing else does.
#include "tests/support/scratch_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <fstream>

#include "tests/support/child_process.h"

namespace fs = std::filesystem;

bool HoldLock(const fs::path& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    return fd >= 0 && flock(fd, LOCK_EX) == 0;
}

TEST(ScratchFolders, OnlyThoseOfEndedProcessesAreRemoved) {
    fs::path temporary = MakeScratchFolder("temporary");
    ASSERT_FALSE(temporary.empty());
    fs::path alive = temporary / "qozcal-test-alive", ended = temporary / "qozcal-test-ended",
             other = temporary / "other", link = temporary / "qozcal-test-link";
    for (const fs::path& folder : {alive, ended, other}) fs::create_directory(folder);
    std::ofstream(ended / "registry.reg") << "REGEDIT4\n";
    fs::create_directory_symlink(other, link);

    StayingChild holder([&] { return HoldLock(alive); });
    ASSERT_TRUE(holder.acted());
    { ASSERT_TRUE(StayingChild([&] { return HoldLock(ended); }).acted()); }
    RemoveAbandonedScratchFolders(temporary);

    EXPECT_TRUE(fs::is_directory(alive));
    EXPECT_FALSE(fs::exists(ended));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_directory(other));
    RemoveScratchFolder(temporary);
}

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kValuesPerProcess = 150;

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Opens the key, writes one text value and closes the key, as the program does.
bool WriteSetting(const std::string& name, const std::string& text) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    LONG status = SetTextValue(key, Ascii(name).c_str(), Ascii(text));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int WriteMany(const std::string& prefix) {
    int failures = 0;
    for (int i = 0; i < kValuesPerProcess; ++i) {
        if (!WriteSetting(prefix + std::to_string(i), prefix + "-value-" + std::to_string(i)))
            ++failures;
    }
    return failures;
}

// This process and a child write 150 values each at once to the settings
// file, the child through childPath; none may be lost.
void ExpectTwoWritersLoseNothing(const std::string& childPath) {
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    RegCloseKey(key);

    int start[2];
    ASSERT_EQ(pipe(start), 0);
    ChildLaunch writer;
    writer.function = [&] {
        char go;
        close(start[1]);
        if (read(start[0], &go, 1) != 1) return 255;
        setenv("QOZCAL_REGISTRY", childPath.c_str(), 1);
        return std::min(WriteMany("Child"), 254);
    };
    ChildProcess child = StartChild(writer);
    ASSERT_GT(child.pid, 0);
    close(start[0]);
    ASSERT_EQ(write(start[1], "g", 1), 1);
    close(start[1]);
    int parentFailures = WriteMany("Parent");
    EXPECT_EQ(WaitChild(child, 60s), 0);
    EXPECT_EQ(parentFailures, 0);

    for (const std::string prefix : {"Parent", "Child"}) {
        for (int i = 0; i < kValuesPerProcess; ++i) {
            StoredValue value = QueryQozSerialValue(Ascii(prefix + std::to_string(i)).c_str());
            ASSERT_TRUE(value.present) << prefix << i;
            EXPECT_EQ(value.text, Ascii(prefix + "-value-" + std::to_string(i)));
        }
    }
}

}  // namespace

TEST(RegistryConcurrentWriters, TwoProcessesWritingAtOnceLoseNothing) {
    ScratchEnvironment scratch;
    ExpectTwoWritersLoseNothing(scratch.registryPath().string());
}

TEST(RegistryConcurrentWriters, TwoPathsToOneFileShareOneLock) {
    // One writer names the file through a link, the other directly.
    ScratchEnvironment scratch;
    fs::path link = scratch.dir() / "linked.reg";
    fs::create_symlink(scratch.registryPath().filename(), link);
    ExpectTwoWritersLoseNothing(link.string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(fs::exists(scratch.dir() / "linked.reg.lock"));
}

TEST(RegistryConcurrentWriters, AWriterWaitsForTheLockAndAKilledHolderReleasesIt) {
    ScratchEnvironment scratch;
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    RegCloseKey(key);

    auto holder = std::make_unique<StayingChild>([&] {
        std::string lockPath = scratch.registryPath().string() + ".lock";
        int fd = open(lockPath.c_str(), O_RDWR | O_CREAT, 0666);
        return fd >= 0 && flock(fd, LOCK_EX) == 0;
    });
    ASSERT_TRUE(holder->acted());

    std::atomic<bool> done{false};
    bool written = false;
    std::thread writer([&] {
        written = WriteSetting("ScaleX", "1.12940");
        done = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(done) << "the write did not wait for the lock";

    holder.reset();
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(QueryQozSerialValue(u"ScaleX").text, u"1.12940");
}

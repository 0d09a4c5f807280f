// Another program of the user edits the settings file in place the moment
// qozcal's new text is renamed over it: the next change keeps the edit, also
// on a ramfs, whose coarse timestamps leave size and times as they were.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <unistd.h>

#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"

namespace {

// 200 changes; at each rename the editor finds its last edit or counts it
// lost, and writes the next over it. Returns the edits lost (255: no run).
int EditAtEachRename(const std::filesystem::path& folder) {
    std::string file = folder / "registry.reg", marker = "\"Marker\"=\"";
    FILE* seed = std::fopen(file.c_str(), "w");
    std::fputs(
        ("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\QozSerial]\n" + marker + "000\"\n").c_str(),
        seed);
    std::fclose(seed);
    setenv("QOZCAL_REGISTRY", file.c_str(), 1);
    int watch = inotify_init1(IN_CLOEXEC);
    HKEY key = nullptr;
    if (inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO) < 0 || CreateSettingsKey(&key) != 0)
        return 255;
    int lost = 0;
    for (int round = 1; round <= 200; ++round) {
        char events[4096], last[4], next[4];
        std::snprintf(last, 4, "%03d", round - 1);
        std::snprintf(next, 4, "%03d", round);
        pollfd renamed{watch, POLLIN, 0};
        if (SetTextValue(key, u"ScaleX", round % 2 ? u"1" : u"2") != 0 ||
            poll(&renamed, 1, 10000) != 1 || read(watch, events, sizeof events) <= 0)
            return 255;
        int fd = open(file.c_str(), O_RDWR);
        std::string now(4096, '\0');
        now.resize(std::max<ssize_t>(0, pread(fd, now.data(), now.size(), 0)));
        size_t at = now.find(marker) + marker.size();
        lost += now.compare(at, 3, last) != 0;
        if (pwrite(fd, next, 3, static_cast<off_t>(at)) != 3 || close(fd) != 0) return 255;
    }
    return lost;
}

TEST(ForeignEdits, AnEditMadeInPlaceAtTheRenameIsKeptByTheNextChange) {
    for (bool coarse : {false, true}) {
        SCOPED_TRACE(coarse ? "on a ramfs" : "in the scratch folder");
        if (coarse && geteuid() != 0) GTEST_SKIP() << "mounting a ramfs needs root";
        ScratchEnvironment scratch;
        std::filesystem::path folder = scratch.dir() / (coarse ? "ramfs" : "");
        std::filesystem::create_directories(folder);
        auto edit = [&] {
            if (coarse && (unshare(CLONE_NEWNS) != 0 ||
                           mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                           mount("ramfs", folder.c_str(), "ramfs", 0, "mode=0700") != 0))
                return 255;
            return EditAtEachRename(folder);
        };
        EXPECT_EQ(RunChild({.function = edit}, std::chrono::seconds(120)).status, 0)
            << "edits lost of 200";
    }
}

}  // namespace

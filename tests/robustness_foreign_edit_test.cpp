// Another program of the user (an editor, a script) edits the settings file
// in place the moment qozcal's new text is renamed over it: the next change
// qozcal makes keeps that edit, on the scratch folder's file system and on
// one whose timestamps tick coarsely (ramfs), where an edit within one tick
// leaves the file's size and times as they were.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kRounds = 200;
const std::string kMarker = "\"Marker\"=\"";

std::string Digits(int round) {
    char text[8];
    std::snprintf(text, sizeof text, "%04d", round);
    return text;
}

// At each rename into the folder the editor looks for the marker it wrote
// last and writes the round's number over it, in place. Returns the number
// of rounds whose edit a change of qozcal lost, or kRounds + 1 when the
// editor was not woken.
int EditAtEachRename(const fs::path& folder) {
    fs::path file = folder / "registry.reg";
    std::string seed = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\QozSerial]\n" + kMarker +
                       Digits(0) + "\"\n";
    FILE* out = std::fopen(file.c_str(), "w");
    if (!out || std::fputs(seed.c_str(), out) < 0 || std::fclose(out) != 0) return kRounds + 1;
    setenv("QOZCAL_REGISTRY", file.c_str(), 1);
    int watch = inotify_init1(IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO) < 0) return kRounds + 1;
    HKEY key = nullptr;
    if (CreateSettingsKey(&key) != ERROR_SUCCESS) return kRounds + 1;

    int lost = 0;
    for (int round = 1; round <= kRounds; ++round) {
        std::u16string text(u"1.0000");
        text += char16_t(u'0' + round % 10);
        if (SetTextValue(key, u"ScaleX", text) != ERROR_SUCCESS) return kRounds + 1;
        pollfd renamed{watch, POLLIN, 0};
        char events[4096];
        if (poll(&renamed, 1, 10000) != 1 || read(watch, events, sizeof events) <= 0)
            return kRounds + 1;
        int fd = open(file.c_str(), O_RDWR);
        std::string now(4096, '\0');
        ssize_t count = fd < 0 ? -1 : pread(fd, now.data(), now.size(), 0);
        size_t at = count > 0 ? now.find(kMarker) : std::string::npos;
        if (at == std::string::npos) return kRounds + 1;
        at += kMarker.size();
        if (now.compare(at, 4, Digits(round - 1)) != 0) ++lost;
        if (pwrite(fd, Digits(round).data(), 4, static_cast<off_t>(at)) != 4) return kRounds + 1;
        close(fd);
    }
    RegCloseKey(key);
    return lost;
}

TEST(ForeignEdits, AnEditMadeInPlaceAtTheRenameIsKeptByTheNextChange) {
    ScratchEnvironment scratch;
    ChildResult run = RunChild({.function = [&] { return EditAtEachRename(scratch.dir()); }}, 120s);
    EXPECT_EQ(run.status, 0) << "edits lost out of " << kRounds << " on "
                             << scratch.dir().string();
}

TEST(ForeignEdits, AnEditWithinOneTimestampTickIsKeptByTheNextChange) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a ramfs needs root";
    ScratchEnvironment scratch;
    fs::path coarse = scratch.dir() / "ramfs";
    fs::create_directory(coarse);
    ChildResult run = RunChild({.function =
                                    [&] {
                                        if (unshare(CLONE_NEWNS) != 0 ||
                                            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE,
                                                  nullptr) != 0 ||
                                            mount("ramfs", coarse.c_str(), "ramfs", 0,
                                                  "mode=0700") != 0)
                                            return kRounds + 2;
                                        return EditAtEachRename(coarse);
                                    }},
                               120s);
    EXPECT_EQ(run.status, 0) << "edits lost out of " << kRounds << " on a ramfs";
}

}  // namespace

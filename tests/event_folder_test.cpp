// Where the named events live, and the folders that are refused: one message
// for each, and the events fail to open as the program expects them to.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/host/kernel32/event_folder.h"
#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/environment_override.h"
#include "tests/support/event_files.h"
#include "tests/support/scratch_environment.h"

namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

fs::path MakeFolder(const fs::path& path, mode_t mode) {
    fs::create_directories(path);
    chmod(path.c_str(), mode);
    return path;
}

mode_t ModeOf(const fs::path& path) {
    struct stat status {};
    stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

TEST(EventFolder, IsTheRuntimeFolderWhenTheSystemGivesOneElseInTheStateFolder) {
    ScratchEnvironment scratch;
    fs::path runtime = MakeFolder(scratch.dir() / "run", 0700);
    {
        EnvironmentOverride set("XDG_RUNTIME_DIR", runtime.string());
        EXPECT_EQ(qoz::host::EventFolderPath(), (runtime / "qozcal").string());
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, u"E");
        ASSERT_NE(event, nullptr);
        EXPECT_TRUE(fs::is_regular_file(EventFile(u"E")));
        EXPECT_EQ(fs::path(EventFile(u"E")).parent_path(), runtime / "qozcal");
        EXPECT_EQ(ModeOf(runtime / "qozcal"), 0700u);
        CloseHandle(event);
        EXPECT_TRUE(fs::is_empty(runtime / "qozcal"));
    }
    EnvironmentOverride noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    EnvironmentOverride state("XDG_STATE_HOME", (scratch.dir() / "state").string());
    EXPECT_EQ(qoz::host::EventFolderPath(), (scratch.dir() / "state/qozcal/events").string());
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, u"E");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(fs::path(EventFile(u"E")).parent_path(), scratch.dir() / "state/qozcal/events");
    for (const char* made : {"state", "state/qozcal", "state/qozcal/events"})
        EXPECT_EQ(ModeOf(scratch.dir() / made), 0700u) << made;
    CloseHandle(event);

    EnvironmentOverride relative("XDG_RUNTIME_DIR", "relative/run");
    EXPECT_EQ(qoz::host::EventFolderPath(), (scratch.dir() / "state/qozcal/events").string());
}

TEST(EventFolder, OneThatOthersMayChangeIsRefusedWithOneMessage) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& runtime)> prepare;
        std::string problem;  // after "cannot use the event folder .../qozcal: "; {run} is the
                              // runtime folder
        bool needsRoot = false;
    };
    const Case cases[] = {
        {"a folder of the user's that anyone may use",
         [](const fs::path& runtime) { MakeFolder(runtime / "qozcal", 0777); },
         "others may use it (mode 0777)"},
        {"a folder of the user's that others may read",
         [](const fs::path& runtime) { MakeFolder(runtime / "qozcal", 0755); },
         "others may use it (mode 0755)"},
        {"a runtime folder anyone may write to, not sticky",
         [](const fs::path& runtime) { chmod(runtime.c_str(), 0777); },
         "others may write to the folder {run} above it (mode 0777)"},
        {"a folder of another user",
         [](const fs::path& runtime) {
             MakeFolder(runtime / "qozcal", 0700);
             EXPECT_EQ(chown((runtime / "qozcal").c_str(), kUnprivilegedUser, kUnprivilegedUser),
                       0);
         },
         "it belongs to user 65534", true},
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.what);
        if (bad.needsRoot && geteuid() != 0) continue;
        ScratchEnvironment scratch;
        fs::path runtime = MakeFolder(scratch.dir() / "run", 0700);
        bad.prepare(runtime);
        EnvironmentOverride set("XDG_RUNTIME_DIR", runtime.string());
        std::string problem = bad.problem;
        if (size_t at = problem.find("{run}"); at != std::string::npos)
            problem.replace(at, 5, runtime.string());

        CaptureStderr();
        for (const char16_t* name : {u"CALSTARTEVENT", u"CALENDEVENT"}) {
            SetLastError(0);
            EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, name), nullptr);
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        }
        EXPECT_EQ(GetCapturedStderr(), "qozcal: cannot use the event folder " + runtime.string() +
                                           "/qozcal: " + problem +
                                           "; named events are not available\n");
        chmod(runtime.c_str(), 0700);
    }
}

TEST(EventFolder, ALinkToAFolderOfTheUsersOwnIsFollowedAndThatFolderChecked) {
    ScratchEnvironment scratch;
    fs::path runtime = MakeFolder(scratch.dir() / "run", 0700);
    fs::path elsewhere = MakeFolder(scratch.dir() / "elsewhere", 0700);
    fs::create_directory_symlink(elsewhere, runtime / "qozcal");
    EnvironmentOverride set("XDG_RUNTIME_DIR", runtime.string());
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, u"E");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(fs::path(EventFile(u"E")).parent_path(), elsewhere);
    CloseHandle(event);
}

}  // namespace

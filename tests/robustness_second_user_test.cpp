// A second, unprivileged user of the machine (user 65534; the tests run as
// root, as CI does) attacks qozcal's shared state: it squats the event paths,
// holds locks, plants links in a shared sticky folder and goes for the live
// event files. qozcal calibrates and stores its settings every time, tells
// the user what it refused, and never hangs or creates a file where a link
// points.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/calibration_script.h"
#include "tests/support/environment_override.h"
#include "tests/support/event_files.h"
#include "tests/support/listener.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string completionLine = "Completes Calibration ..........r\n";
const std::string createFailedLine = "InitQOZCalRegistry : Fail RegCreateKeyEx\r\n";

// Creates a file anyone may write and holds an exclusive flock on it. The
// second user is a StayingChild run unprivileged: whatever it holds stays
// held until the test ends.
bool CreateAndLock(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT, 0666);
    return fd >= 0 && fchmod(fd, 0666) == 0 && flock(fd, LOCK_EX) == 0;
}

class SecondUserAttack : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "a second user needs the tests to run as root";
        ASSERT_EQ(chmod(scratch.dir().c_str(), 0755), 0);
        fs::create_directory(shared());
        ASSERT_EQ(chmod(shared().c_str(), 01777), 0);
    }
    // A folder every user may write to, sticky like /tmp.
    fs::path shared() const { return scratch.dir() / "shared"; }
    // The settings file the victim names, in the shared folder.
    std::string sharedSettings() const { return (shared() / "registry.reg").string(); }

    ChildResult Calibrate(const std::string& registry = {}) {
        return RunScript(
            scratch,
            {.text = CalibrationScript(TapsAtTheTargets()), .registry = registry, .patience = 90s});
    }

    ScratchEnvironment scratch;
};

// ---- Events --------------------------------------------------------------------------

TEST_F(SecondUserAttack, ObjectsSquattedAndLockedAtTheOldEventPathsNoLongerMatter) {
    std::vector<std::string> squatted;
    for (const char* name : {"CALSTARTEVENT", "CALENDEVENT"})
        squatted.push_back("/dev/shm/qozcal-event." + std::to_string(geteuid()) + "." +
                           getenv("QOZCAL_EVENT_NAMESPACE") + "." + name);
    {
        StayingChild squatter(
            [&] {
                for (const std::string& path : squatted)
                    if (!CreateAndLock(path)) return false;
                return true;
            },
            true);
        ASSERT_TRUE(squatter.acted());

        Listener listener(scratch, {"--count", "2", "--timeout", "30000"});
        ASSERT_TRUE(listener.ready());
        ChildResult run = Calibrate();
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.error, "");
        EXPECT_EQ(listener.Finish(), 0);
        EXPECT_NE(listener.Output().find("CALSTARTEVENT\nCALENDEVENT\nScaleX=0.99999\n"),
                  std::string::npos)
            << listener.Output();
        for (const std::string& path : squatted) {
            EXPECT_EQ(fs::file_size(path), 0u) << path;
        }
    }
    for (const std::string& path : squatted) fs::remove(path);
}

TEST_F(SecondUserAttack, AnEventFolderSquattedInASharedRuntimeFolderIsRefusedAndTheRunGoesOn) {
    EnvironmentOverride sharedRuntime("XDG_RUNTIME_DIR", shared().string());
    fs::path folder = shared() / "qozcal";
    for (bool asLink : {false, true}) {
        SCOPED_TRACE(asLink ? "a link to the second user's folder" : "the second user's folder");
        fs::path own = shared() / "theirs";
        StayingChild squatter(
            [&] {
                if (asLink) {
                    return mkdir(own.c_str(), 0777) == 0 &&
                           symlink(own.c_str(), folder.c_str()) == 0;
                }
                return mkdir(folder.c_str(), 0777) == 0 && chmod(folder.c_str(), 0777) == 0 &&
                       CreateAndLock((folder / "CALSTARTEVENT").string());
            },
            true);
        ASSERT_TRUE(squatter.acted());
        std::string refused = "cannot use the event folder " + folder.string() +
                              ": it belongs to user 65534; named events are not available\n";

        Listener listener(scratch, {"--count", "2", "--timeout", "30000"});
        EXPECT_EQ(listener.Finish(10s), 1);
        EXPECT_EQ(listener.Errors(),
                  "qozcal-listen: " + refused +
                      "qozcal-listen: cannot open event CALSTARTEVENT (error 5)\n"
                      "qozcal-listen: cannot open event CALENDEVENT (error 5)\n");
        ChildResult run = Calibrate();
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.error, "qozcal: " + refused);
        EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
        EXPECT_NE(scratch.debugLog().find(completionLine), std::string::npos);
        fs::remove_all(folder);
    }
}

TEST_F(SecondUserAttack, TheLiveEventFilesCannotBeReachedAndTheSecondUsersEventsAreItsOwn) {
    Listener listener(scratch, {"--count", "1", "--timeout", "3000"});
    ASSERT_TRUE(listener.ready());
    std::string start = EventFile(u"CALSTARTEVENT");
    ASSERT_TRUE(fs::exists(start));

    // The files, the victim's live events, cannot be opened, let alone cut
    // short or written.
    StayingChild intruder(
        [&] {
            return open(start.c_str(), O_RDWR) < 0 && errno == EACCES &&
                   truncate(start.c_str(), 0) != 0 && errno == EACCES;
        },
        true);
    EXPECT_TRUE(intruder.acted());

    // A calibration of the second user's signals its own events only.
    fs::path script = scratch.dir() / "theirs.pen";
    scratch.writeFile("theirs.pen", CalibrationScript(TapsAtTheTargets()));
    ASSERT_EQ(chmod(script.c_str(), 0644), 0);
    fs::path theirs = scratch.dir() / "theirs";
    fs::create_directory(theirs);
    ASSERT_EQ(chmod(theirs.c_str(), 0777), 0);
    ChildResult run = RunScript(scratch, {.script = script.string(),
                                          .registry = (theirs / "registry.reg").string(),
                                          .debugLog = (theirs / "debug.log").string(),
                                          .unprivileged = true,
                                          .directory = theirs});
    EXPECT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(listener.Finish(), 1) << "the victim's listener heard the other user's events";
    EXPECT_EQ(listener.Output(), "");
}

// ---- The settings file ---------------------------------------------------------------

TEST_F(SecondUserAttack, LinksPlantedAsTheLockAndTheTemporaryFileAreNotFollowed) {
    fs::path elsewhere = scratch.dir() / "elsewhere";
    fs::create_directory(elsewhere);
    ASSERT_EQ(chmod(elsewhere.c_str(), 0777), 0);
    std::string settings = sharedSettings();
    scratch.writeFile("shared/registry.reg", "");
    struct Case {
        const char* suffix;
        std::string expectedError;  // empty: the write goes through
    };
    const Case cases[] = {
        {".lock", SettingsProblemOutput("cannot write settings file " + settings +
                                        ": cannot open the lock file " + settings +
                                        ".lock: it is a symbolic link; the file is left unchanged")},
        // Root may remove another user's link from a sticky folder, and the
        // temporary file is then made anew.
        {".tmp", ""},
    };
    for (const Case& planted : cases) {
        SCOPED_TRACE(planted.suffix);
        fs::path target = elsewhere / (std::string("target") + planted.suffix);
        std::string link = settings + planted.suffix;
        StayingChild planter([&] { return symlink(target.c_str(), link.c_str()) == 0; }, true);
        ASSERT_TRUE(planter.acted());
        ChildResult run = Calibrate(settings);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.error, planted.expectedError);
        EXPECT_FALSE(fs::exists(target)) << "a file was made where the link points";
        EXPECT_NE(scratch.debugLog().find(completionLine), std::string::npos);
        if (planted.expectedError.empty()) {
            EXPECT_NE(ReadWholeFile(settings).find("\"ScaleX\"=\"0.99999\""), std::string::npos);
        } else {
            EXPECT_EQ(ReadWholeFile(settings), "");
        }
        fs::remove(link);
        scratch.clearDebugLog();
    }
}

TEST_F(SecondUserAttack, TheLockCanBeHeldByItsOwnerOnly) {
    std::string settings = sharedSettings();
    std::string lock = settings + ".lock";
    struct Case {
        const char* what;
        std::function<bool()> attack;  // as the second user
        std::string expectedError;     // empty: the write goes through at once
    };
    const Case cases[] = {
        // The lock file the user's own writes made: others may not open it at all.
        {"holding the user's lock file",
         [&] {
             int fd = open(lock.c_str(), O_RDONLY);
             return fd >= 0 && flock(fd, LOCK_EX) == 0;
         },
         ""},
        {"making the lock file and holding it", [&] { return CreateAndLock(lock); },
         SettingsProblemOutput("cannot write settings file " + settings +
                               ": cannot open the lock file " + lock +
                               ": it belongs to user 65534, and only the user who writes the file "
                               "may hold its lock; the file is left unchanged")},
    };
    for (const Case& attack : cases) {
        SCOPED_TRACE(attack.what);
        fs::remove(settings);
        if (attack.expectedError.empty()) {
            ASSERT_EQ(Calibrate(settings).status, 0);
        }
        StayingChild holder(attack.attack, true);
        ChildResult run = Calibrate(settings);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.error, attack.expectedError);
        EXPECT_LT(run.elapsed, 10s);
        EXPECT_EQ(fs::exists(settings), attack.expectedError.empty());
        EXPECT_NE(scratch.debugLog().find(completionLine), std::string::npos);
        fs::remove(lock);
        scratch.clearDebugLog();
    }
}

// Here the user is the unprivileged one, and root the other user: the user
// cannot remove what root left in the sticky folder.
TEST_F(SecondUserAttack, ATemporaryFileLeftBesideTheSettingsIsNotInTheWay) {
    std::string settings = sharedSettings();
    scratch.writeFile("shared/registry.reg.tmp", "planted");
    ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets()),
                                          .registry = settings,
                                          .debugLog = (shared() / "debug.log").string(),
                                          .unprivileged = true});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, "");
    EXPECT_NE(ReadWholeFile(settings).find("\"ScaleX\"=\"0.99999\""), std::string::npos);
    EXPECT_EQ(ReadWholeFile(settings + ".tmp"), "planted");
}

TEST_F(SecondUserAttack, FifosPlantedAsTheDebugLogAndTheShotDoNotHangTheProgram) {
    std::string log = (shared() / "debug.log").string();
    std::string shot = (shared() / "shot.png").string();
    StayingChild planter(
        [&] { return mkfifo(log.c_str(), 0666) == 0 && mkfifo(shot.c_str(), 0666) == 0; }, true);
    ASSERT_TRUE(planter.acted());
    ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets()) +
                                                  "shot " + shot + "\n",
                                          .debugLog = log,
                                          .patience = 20s});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error.rfind("qozcal: cannot write debug log " + log +
                                  ": No such device or address; debug lines go to standard error\n",
                              0),
              0u)
        << run.error;
    EXPECT_NE(run.error.find("qozcal: cannot write screenshot " + shot + ": not a regular file\n"),
              std::string::npos);
    EXPECT_NE(run.error.find(completionLine), std::string::npos);
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
}

TEST_F(SecondUserAttack, ADefaultSettingsFolderMadeByTheSecondUserIsRefused) {
    fs::path folder = shared() / "qozcal";
    StayingChild maker(
        [&] { return mkdir(folder.c_str(), 0777) == 0 && chmod(folder.c_str(), 0777) == 0; }, true);
    ASSERT_TRUE(maker.acted());
    fs::path runtime = scratch.dir() / "run";
    fs::create_directory(runtime);
    ASSERT_EQ(chmod(runtime.c_str(), 0700), 0);

    ChildLaunch launch = ScriptLaunch(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
    auto registryOption = std::find(launch.argv.begin(), launch.argv.end(), "--registry");
    launch.argv.erase(registryOption, registryOption + 2);
    launch.unsetEnvironment = {"QOZCAL_REGISTRY"};
    launch.setEnvironment = {{"XDG_STATE_HOME", shared().string()},
                             {"XDG_RUNTIME_DIR", runtime.string()}};
    ChildResult run = RunChild(launch, 90s);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, SettingsProblemOutput("cannot read settings file " +
                                               (folder / "registry.reg").string() + ": the folder " +
                                               folder.string() +
                                               " is not safe to use: it belongs to user 65534"));
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(scratch.debugLog().rfind(createFailedLine, 0), 0u) << scratch.debugLog();
    EXPECT_NE(scratch.debugLog().find(completionLine), std::string::npos);
}

}  // namespace

// Event namespaces a user may set by mistake: one too long for a file name,
// and one full of slashes; an event another process keeps locked; and the
// surroundings: descriptors 0-2 closed, a full file system, a listener in
// another PID namespace. The program calibrates and stores its settings
// either way; qozcal-listen says when it cannot listen and keeps its time-out.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/host/kernel32/event_folder.h"
#include "platform/host/kernel32/named_event.h"

#include "tests/support/calibration_script.h"
#include "tests/support/event_files.h"
#include "tests/support/listener.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace {

using namespace std::chrono_literals;

TEST(EventNamespaces, OneTooLongLeavesTheEventsOutButTheCalibrationRuns) {
    ScratchEnvironment scratch;
    setenv("QOZCAL_EVENT_NAMESPACE", std::string(300, 'n').c_str(), 1);
    Listener listener(scratch, {"--count", "1", "--timeout", "1000"});
    EXPECT_EQ(listener.Finish(), 1);
    EXPECT_EQ(listener.Errors(),
              "qozcal-listen: cannot open event CALSTARTEVENT (error 206)\n"
              "qozcal-listen: cannot open event CALENDEVENT (error 206)\n");

    ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
    EXPECT_NE(scratch.debugLog().find("Completes Calibration ..........r\n"), std::string::npos);
}

TEST(EventNamespaces, SlashesAreJustCharactersOfTheName) {
    ScratchEnvironment scratch;
    std::string space = std::string(getenv("QOZCAL_EVENT_NAMESPACE")) + "/../a/b/";
    setenv("QOZCAL_EVENT_NAMESPACE", space.c_str(), 1);
    Listener listener(scratch, {"--count", "2", "--timeout", "20000"});
    ASSERT_TRUE(listener.ready());

    ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
    EXPECT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(listener.Finish(), 0);
    std::string output = listener.Output();
    EXPECT_NE(output.find("CALSTARTEVENT\n"), std::string::npos) << output;
    EXPECT_NE(output.find("CALENDEVENT\nScaleX=0.99999\nScaleY=1.00000\n"), std::string::npos)
        << output;
    // Nothing was made outside the event folder.
    std::filesystem::path folder = qoz::host::EventFolderPath();
    EXPECT_FALSE(std::filesystem::exists(folder.parent_path() / "a"));
    EXPECT_FALSE(std::filesystem::exists(folder / "a"));
}

// Takes CALSTARTEVENT's lock, in a process of the user that keeps it.
bool TakeTheStartEventsLock() {
    qoz::host::EventOpening opening = qoz::host::OpenNamedEvent(u"CALSTARTEVENT", false, false);
    qoz::host::LockWatch watch;
    return opening.mapping.state != nullptr &&
           qoz::host::LockEventState(*opening.mapping.state, watch) == qoz::host::EventResult::Done;
}

TEST(LockedEvents, TheListenerKeepsItsTimeoutAndOtherwiseSaysWhatIsWrong) {
    ScratchEnvironment scratch;
    StayingChild keeper(TakeTheStartEventsLock);
    ASSERT_TRUE(keeper.acted());

    // Opening the event waits the host's 2 s for each try; a shorter
    // time-out ends the listener first.
    Listener brief(scratch, {"--count", "1", "--timeout", "500"});
    EXPECT_EQ(brief.Finish(), 1);
    EXPECT_EQ(brief.Output(), "");

    Listener patient(scratch, {"--count", "1", "--timeout", "30000"});
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(patient.Finish(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(20));
    EXPECT_EQ(patient.Errors(),
              "qozcal-listen: event CALSTARTEVENT (" + EventFile(u"CALSTARTEVENT") +
                  ") cannot be used: another process has kept it locked for more than 2 s\n"
                  "qozcal-listen: cannot open event CALSTARTEVENT (error 1460)\n");

    // qozcal goes on without the event and calibrates.
    ChildResult run = RunScript(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, "qozcal: event CALSTARTEVENT (" + EventFile(u"CALSTARTEVENT") +
                             ") cannot be used: another process has kept it locked for more than "
                             "2 s\n");
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
}

// Runs the command after it (its program's path and arguments) with
// descriptors 0, 1 and 2 closed.
const std::vector<std::string> kClosedStandardDescriptors = {
    "/bin/sh", "-c", "exec \"$0\" \"$@\" <&- >&- 2>&-"};

// In a PID namespace of its own, with its own /proc, as in a container
// beside the program.
const std::vector<std::string> kOtherPidNamespace = {"/usr/bin/unshare", "--pid", "--fork", "--mount-proc"};

ChildLaunch Wrapped(ChildLaunch launch, const std::vector<std::string>& wrapper) {
    launch.argv.insert(launch.argv.begin(), wrapper.begin(), wrapper.end());
    return launch;
}

bool CanUnshare(const char* what) {
    return geteuid() == 0 &&
           RunChild({.argv = {"/usr/bin/unshare", what, "--fork", "true"}}, 10s).status == 0;
}

TEST(Surroundings, ClosedStandardDescriptorsOrAnotherPidNamespaceLeaveTheEventsWorking) {
    struct Case {
        const char* what;
        std::vector<std::string> listenerWrapper, programWrapper;
        bool needsUnshare;
    };
    const Case cases[] = {
        {"descriptors 0-2 closed", kClosedStandardDescriptors, kClosedStandardDescriptors, false},
        {"the listener in another PID namespace", kOtherPidNamespace, {}, true},
        {"qozcal in another PID namespace", {}, kOtherPidNamespace, true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        if (row.needsUnshare && !CanUnshare("--pid")) {
            std::printf("skipped (unshare --pid needs root): %s\n", row.what);
            continue;
        }
        ScratchEnvironment scratch;
        Listener listener(scratch, {"--count", "2", "--timeout", "20000"}, row.listenerWrapper);
        ASSERT_TRUE(listener.ready());
        // Without a debug log, debug lines go to descriptor 2.
        ChildLaunch launch = ScriptLaunch(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
        auto log = std::find(launch.argv.begin(), launch.argv.end(), "--debug-log");
        launch.argv.erase(log, log + 2);
        launch.unsetEnvironment = {"QOZCAL_DEBUG_LOG"};
        ChildResult run = RunChild(Wrapped(launch, row.programWrapper), 60s);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(listener.Finish(), 0) << listener.Errors();
        EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");
        if (row.listenerWrapper.empty()) {
            EXPECT_NE(listener.Output().find("CALSTARTEVENT\nCALENDEVENT\nScaleX=0.99999\n"),
                      std::string::npos);
        }
    }
}

TEST(Surroundings, AFullFileSystemUnderTheEventsIsAMessageNotASignal) {
    if (!CanUnshare("--mount")) GTEST_SKIP() << "mounting a small file system needs root";
    ScratchEnvironment scratch;
    std::filesystem::path runtime = scratch.dir() / "run";
    std::filesystem::create_directory(runtime);
    // A file system of 64 kB, filled, in a mount namespace of the run's own.
    const std::vector<std::string> onAFullDisk = {
        "/usr/bin/unshare", "--mount", "/bin/sh", "-c",
        "mount -t tmpfs -o size=64k,mode=0700 tmpfs \"$0\" && mkdir -m 0700 \"$0/qozcal\" && "
        "{ head -c 1M /dev/zero > \"$0/fill\" 2>/dev/null; exec \"$@\"; }",
        runtime.string()};
    std::string folder = runtime.string() + "/qozcal/event." + getenv("QOZCAL_EVENT_NAMESPACE");
    auto full = [&](const std::string& name) {
        return "qozcal: event " + name + " (" + folder + "." + name +
               ") cannot be used: No space left on device\n";
    };
    ChildLaunch launch = ScriptLaunch(scratch, {.text = CalibrationScript(TapsAtTheTargets())});
    launch.setEnvironment = {{"XDG_RUNTIME_DIR", runtime.string()}};
    ChildResult run = RunChild(Wrapped(launch, onAFullDisk), 60s);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, full("CALSTARTEVENT") + full("CALENDEVENT"));
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "0.99999");

    ChildLaunch listen = Wrapped({.argv = {QOZCAL_LISTEN_PATH, "--timeout", "1000"}}, onAFullDisk);
    listen.setEnvironment = launch.setEnvironment;
    ChildResult heard = RunChild(listen, 20s);
    EXPECT_EQ(heard.status, 1);
    EXPECT_NE(heard.error.find("qozcal-listen: cannot open event CALSTARTEVENT (error 112)\n"),
              std::string::npos)
        << heard.error;
}

TEST(ListenerOptions, NumbersOutOfRangeAreRefusedWithStatusTwo) {
    for (const char* option : {"--timeout", "--count"}) {
        for (const char* number : {"9223372036854775807", "2147483648", "99999999999999999999"}) {
            SCOPED_TRACE(std::string(option) + " " + number);
            ChildResult run = RunChild({.argv = {QOZCAL_LISTEN_PATH, option, number}}, 10s);
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.error.rfind("qozcal-listen: " + std::string(option) +
                                          " needs a whole number from 0 to 2147483647, not '" +
                                          number + "'\n",
                                      0),
                      0u)
                << run.error;
        }
    }
}

}  // namespace

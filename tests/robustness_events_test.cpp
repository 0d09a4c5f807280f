// Event namespaces a user may set by mistake: one too long for a file name,
// and one full of slashes; and an event another process keeps locked. The
// program calibrates and stores its settings either way; qozcal-listen says
// when it cannot listen and keeps its time-out.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "platform/host/kernel32/event_folder.h"
#include "platform/host/kernel32/named_event.h"

#include "tests/support/calibration_script.h"
#include "tests/support/event_files.h"
#include "tests/support/listener.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace {

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
              "qozcal: event CALSTARTEVENT (" + EventFile(u"CALSTARTEVENT") +
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

}  // namespace

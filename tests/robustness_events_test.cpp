// Event namespaces a user may set by mistake: one too long for the system's
// shared-memory names, and one full of slashes. The program calibrates and
// stores its settings either way; qozcal-listen says when it cannot listen.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/support/calibration_script.h"
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
    // Nothing was made outside the system's shared-memory folder.
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path("/dev/shm") / "a"));
}

}  // namespace

// One calibration's platform calls with every argument, as the host's traced
// build makes them: they are what tests/wine/calibration-calls.txt holds,
// which the device's executable must make too (the Wine run records it
// through the coredll stand-in). Arguments the host ignores (a key's
// options and access, a class's extra bytes, extended styles, message
// filters) are checked here all the same.
#include <gtest/gtest.h>

#include "platform/host/shell.h"
#include "platform/host/simulator/pen_script.h"
#include "platform/host/simulator/script_player.h"
#include "tests/support/call_trace.h"
#include "tests/support/program_session.h"
#include "tests/support/scratch_environment.h"

namespace {

TEST(DeviceCalls, OneCalibrationMakesTheRecordedCallsWithTheirArguments) {
    ScratchEnvironment scratch;
    // As in the Wine run: the key exists, the calibration is examples'
    // calibration.pen, and the exit button ends it.
    scratch.writeRegistryText(ReadWholeFile(QOZCAL_SOURCE_DIR "/tests/wine/seeded.reg"));
    std::string script = scratch.writeFile(
        "recorded.pen",
        ReadWholeFile(QOZCAL_SOURCE_DIR "/examples/calibration.pen") + "tap 145 16\n");
    std::vector<qoz::sim::ScriptStep> steps;
    std::string error;
    ASSERT_TRUE(qoz::sim::LoadPenScript(script, steps, error)) << error;
    qoz::sim::ScriptPlayer player(std::move(steps), [](const std::string&) {});
    ResetProgramInProcess();
    ClearCallTrace();
    qoz::host::SetInputSource(&player);
    static char module;  // the module handle the simulator passes
    static WCHAR noCommandLine[] = TEXT("");
    EXPECT_EQ(AppMain(reinterpret_cast<HINSTANCE>(&module), nullptr, noCommandLine, SW_SHOW), 0);
    qoz::host::SetInputSource(nullptr);
    EXPECT_EQ(CallRecordText(),
              ReadWholeFile(QOZCAL_SOURCE_DIR "/tests/wine/calibration-calls.txt"));
}

}  // namespace

// Two simulators calibrating at once against one settings file and one set of
// events, with the touch driver's stand-in listening: it sees both ends, and
// the file holds one calibration's four values, whole.
#include <gtest/gtest.h>

#include <thread>

#include "platform/host/advapi32/registry_text.h"
#include "tests/support/calibration_script.h"
#include "tests/support/listener.h"
#include "tests/support/qozcal_run.h"
#include "tests/support/settings_values.h"

namespace {

using namespace std::chrono_literals;

// Taps near the targets, differently off for each hand, so that the two
// calibrations give different settings.
const TapList firstHand = {{27, 35}, {215, 34}, {214, 286}, {28, 287}, {120, 160}};
const TapList secondHand = {{22, 30}, {220, 36}, {219, 292}, {23, 286}, {122, 162}};

// The four settings that the taps alone give, on the virtual clock.
std::vector<std::string> SettingsFrom(const TapList& taps) {
    ScratchEnvironment alone;
    ChildResult run = RunScript(alone, {.text = CalibrationScript(taps, true)});
    EXPECT_EQ(run.status, 0) << run.error;
    return FourSettings(alone);
}

TEST(TwoSimulators, CalibratingAtOnceBothEndAndTheFileHoldsOneWholeSet) {
    std::vector<std::string> firstSet = SettingsFrom(firstHand);
    std::vector<std::string> secondSet = SettingsFrom(secondHand);
    ASSERT_NE(firstSet, secondSet);

    ScratchEnvironment scratch;
    Listener listener(scratch, {"--count", "2", "--timeout", "30000"});
    ASSERT_TRUE(listener.ready());

    // Real time, so that the two runs overlap from start-up to the end; the
    // second starts a little later, so that its end event comes after the
    // listener has taken the first.
    auto simulator = [&](const TapList& taps, const std::string& name) {
        std::string script = scratch.writeFile(name + ".pen", CalibrationScript(taps, true, 600));
        ChildLaunch launch =
            ScriptLaunch(scratch, {.script = script,
                                   .debugLog = (scratch.dir() / (name + ".log")).string(),
                                   .realTime = true});
        launch.errorPath = scratch.dir() / (name + ".err");
        return StartChild(launch);
    };
    ChildProcess first = simulator(firstHand, "first");
    std::this_thread::sleep_for(1s);
    ChildProcess second = simulator(secondHand, "second");
    EXPECT_EQ(WaitChild(first, 60s), 0) << ReadWholeFile(scratch.dir() / "first.err");
    EXPECT_EQ(WaitChild(second, 60s), 0) << ReadWholeFile(scratch.dir() / "second.err");
    EXPECT_EQ(listener.Finish(), 0);

    std::string heard = listener.Output();
    size_t ends = 0;
    for (size_t at = heard.find("CALENDEVENT\n"); at != std::string::npos;
         at = heard.find("CALENDEVENT\n", at + 1))
        ++ends;
    EXPECT_EQ(ends, 2u) << heard;
    for (const char* name : {"first.log", "second.log"})
        EXPECT_NE(ReadWholeFile(scratch.dir() / name).find("Completes Calibration ..........r\n"),
                  std::string::npos)
            << name;

    qoz::host::ParseResult parsed = qoz::host::ParseRegistry(scratch.registryText());
    EXPECT_FALSE(parsed.error) << scratch.registryText();
    std::vector<std::string> final = FourSettings(scratch);
    EXPECT_TRUE(final == firstSet || final == secondSet)
        << final[0] << " " << final[1] << " " << final[2] << " " << final[3];
}

}  // namespace

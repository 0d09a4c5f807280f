// Pen scripts a user may get wrong, run through the real qozcal: each is
// refused with the file, the line and the fault before the program starts.
// Very long scripts are checked in bounded time and memory.
#include <gtest/gtest.h>

#include "tests/support/qozcal_run.h"
#include "tests/support/screen_checks.h"
#include "tests/support/settings_values.h"

namespace {

TEST(BadScripts, AreRefusedWithTheirLineBeforeTheProgramStarts) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"tap 200 16\nflick 1 1\n", ":2: unknown command 'flick'"},
        {"tap 1\n", ":1: 'tap' takes X Y, got 1 argument"},
        {"down\n", ":1: 'down' takes X Y, got 0 arguments"},
        {"tap 1 2 3\n", ":1: 'tap' takes X Y, got 3 arguments"},
        {"wait 10 20\n", ":1: 'wait' takes MS, got 2 arguments"},
        {"shot a.png b.png\n", ":1: 'shot' takes one FILE.png, got 2 arguments"},
        {"tap one 1\n", ":1: 'one' is not a number"},
        {"tap 1 1e3\n", ":1: '1e3' is not a number"},
        {"tap -1 10\n", ":1: -1 is out of range (0 to 65535)"},
        {"wait -5\n", ":1: -5 is out of range (0 to 86400000)"},
        {"tap 10 65536\n", ":1: 65536 is out of range (0 to 65535)"},
        {"tap 99999999999999999999 1\n", ":1: 99999999999999999999 is out of range (0 to 65535)"},
        {"wait 1000000000000\n", ":1: 1000000000000 is out of range (0 to 86400000)"},
        {"tap 1 1\nshot no/such/folder/x.png\n",
         ":2: folder of shot file 'no/such/folder/x.png' does not exist"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        ScratchEnvironment scratch;
        std::string path = (scratch.dir() / "run.pen").string();
        ChildResult run = RunScript(scratch, {.text = text});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.error, path + message + "\n");
        EXPECT_FALSE(ProgramRan(scratch));
    }
}

TEST(BadScripts, TheLargestCoordinatesAreAcceptedAndReachNoWindow) {
    // 65535 lies far beyond any simulated screen: such pen input goes nowhere,
    // so the calibration stays at its first target and stores nothing; the
    // user is told where the first such point is.
    ScratchEnvironment scratch;
    std::string script = "tap 200 16\nwait 700\n";
    for (int i = 0; i < 5; ++i) script += "tap 65535 65535\nwait 700\ntap 0 65535\nwait 700\n";
    script += "shot after.png\n";
    ChildResult run = RunScript(scratch, {.text = script});
    EXPECT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.error, (scratch.dir() / "run.pen").string() +
                             ":3: warning: (65535, 65535) is off the 240x320 screen and reaches no "
                             "window (and so do points on 9 more lines)\n");
    EXPECT_EQ(scratch.debugLog().find("Calibrate1Dimension"), std::string::npos);
    EXPECT_EQ(SettingsText(scratch, "ScaleX"), "1");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "after.png"), TargetMark(24, 32)), "");
}

// A million lines is about 10 MB of script. The whole text is checked before
// the program starts, so a fault on the last line is found only after all the
// others have been read.
constexpr int millionLines = 1000000;
#if defined(__SANITIZE_ADDRESS__)
// The sanitized, unoptimised build runs the parser about twenty times slower
// and keeps shadow memory beside every allocation.
constexpr std::chrono::seconds scriptTimeLimit{90};
constexpr long scriptMemoryLimitKilobytes = 2 * 1024 * 1024;
#else
constexpr std::chrono::seconds scriptTimeLimit{30};
constexpr long scriptMemoryLimitKilobytes = 1024 * 1024;
#endif

TEST(LongScripts, AMillionLinesWithAFaultAtTheEndAreCheckedInBoundedTimeAndMemory) {
    ScratchEnvironment scratch;
    std::string text;
    text.reserve(millionLines * 10);
    for (int i = 1; i < millionLines; ++i) text += "tap 5 100\n";
    text += "tap 5 100000\n";
    std::string script = scratch.writeFile("long.pen", text);
    ChildResult run = RunScript(scratch, {.script = script, .patience = std::chrono::seconds(120)});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.error, script + ":1000000: 100000 is out of range (0 to 65535)\n");
    EXPECT_FALSE(ProgramRan(scratch));
    EXPECT_LT(run.elapsed, scriptTimeLimit);
    EXPECT_LT(run.peakKilobytes, scriptMemoryLimitKilobytes);
    RecordProperty("milliseconds", std::to_string(run.elapsed.count()));
    RecordProperty("peak_kilobytes", std::to_string(run.peakKilobytes));
    std::printf("a million checked lines: %lld ms, peak %ld kB\n",
                static_cast<long long>(run.elapsed.count()), run.peakKilobytes);
}

TEST(LongScripts, AMillionLinesRunToTheirEndOnTheVirtualClock) {
    ScratchEnvironment scratch;
    std::string text;
    text.reserve(millionLines * 10);
    for (int i = 0; i < millionLines; ++i) text += i % 2 ? "wait 1\n" : "# a note\n";
    ChildResult run = RunScript(scratch, {.text = text, .patience = std::chrono::seconds(120)});
    EXPECT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.error, "");
    EXPECT_TRUE(ProgramRan(scratch));
    EXPECT_LT(run.elapsed, scriptTimeLimit);
    EXPECT_LT(run.peakKilobytes, scriptMemoryLimitKilobytes);
    std::printf("a million lines run: %lld ms, peak %ld kB\n",
                static_cast<long long>(run.elapsed.count()), run.peakKilobytes);
}

TEST(OversizedScripts, AreRefusedWithoutReadingThemWhole) {
    ScratchEnvironment scratch;
    // Comments only, one byte over 16 MiB; and a device that never ends.
    std::string comments(16 * 1024 * 1024 + 1, '#');
    comments[comments.size() / 2] = '\n';
    std::string file = scratch.writeFile("huge.pen", comments);
    for (const std::string& script : {file, std::string("/dev/zero")}) {
        SCOPED_TRACE(script);
        ChildResult run = RunScript(scratch, {.script = script});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.error,
                  "qozcal: cannot read script " + script + ": it is larger than 16 MiB\n");
        EXPECT_FALSE(ProgramRan(scratch));
        EXPECT_LT(run.peakKilobytes, scriptMemoryLimitKilobytes);
    }
}

}  // namespace

// The simulator's command line and pen scripts as a user meets them: what is
// refused before the program starts, and what the program runs with.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/qozcal_run.h"
#include "tests/support/screen_checks.h"

namespace {

const std::string helpHint = "Try 'qozcal --help' for more information.\n";

// Runs qozcal with settings and log in the scratch folder, then the arguments.
ChildResult RunWithFiles(const ScratchEnvironment& scratch, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--registry", scratch.registryPath().string(),
                                         "--debug-log", scratch.debugLogPath().string()});
    return RunQozcal(scratch, arguments);
}

TEST(UsageErrors, StopBeforeTheProgramStartsWithStatusTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--screen", "0x0"}, "bad screen size '0x0' for --screen (WxH, each side 1 to 4096)"},
        {{"--screen", "5000x5000"},
         "bad screen size '5000x5000' for --screen (WxH, each side 1 to 4096)"},
        {{"--screen", "abc"}, "bad screen size 'abc' for --screen (WxH, each side 1 to 4096)"},
        {{"--screen", "240x"}, "bad screen size '240x' for --screen (WxH, each side 1 to 4096)"},
        {{"--zoom", "9"}, "bad zoom '9' for --zoom (1 to 8)"},
        {{"--headless", "--script"}, "option '--script' needs a value"},
        {{"extra"}, "unexpected argument 'extra'"},
    };
    for (const auto& [arguments, message] : cases) {
        ScratchEnvironment scratch;
        ChildResult run = RunWithFiles(scratch, arguments);
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_EQ(run.error, "qozcal: " + message + "\n" + helpHint);
        EXPECT_EQ(run.output, "");
        EXPECT_FALSE(ProgramRan(scratch)) << message;
    }
}

TEST(UsageErrors, HelpAndVersionPrintAndEndWithStatusZero) {
    ScratchEnvironment scratch;
    ChildResult help = RunQozcal(scratch, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("Usage: qozcal [--screen WxH]", 0), 0u) << help.output;
    ChildResult version = RunQozcal(scratch, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.output, std::regex("qozcal [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.output;
}

TEST(ScriptErrors, NameTheFileAndLineAndStopBeforeTheProgramStarts) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"tap 1 1\nwait soon\n", ":2: 'soon' is not a number"},
        {"# fine\njump 1 1\n", ":2: unknown command 'jump'"},
        {"move 1 1\n", ":1: 'move' while the pen is up"},
        {"stroke 1 1\n", ":1: 'stroke' needs at least 2 points"},
        {"tap 1 70000\n", ":1: 70000 is out of range (0 to 65535)"},
        {"shot missing/shot.png\n", ":1: folder of shot file 'missing/shot.png' does not exist"},
    };
    for (const auto& [text, message] : cases) {
        ScratchEnvironment scratch;
        ChildResult run = RunScript(scratch, {.text = text});
        EXPECT_EQ(run.status, 2) << message;
        EXPECT_EQ(run.error, (scratch.dir() / "run.pen").string() + message + "\n");
        EXPECT_FALSE(ProgramRan(scratch)) << message;
    }
}

TEST(ScriptErrors, ReportAScriptThatCannotBeRead) {
    ScratchEnvironment scratch;
    std::string path = (scratch.dir() / "absent.pen").string();
    ChildResult run = RunScript(scratch, {.script = path, .realTime = true});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.error, "qozcal: cannot read script " + path + ": No such file or directory\n");
    EXPECT_FALSE(ProgramRan(scratch));
}

TEST(Display, IsRequiredWithoutHeadlessAndItsAbsenceSaysSo) {
    ScratchEnvironment scratch;
    ChildLaunch launch;
    launch.argv = {QOZCAL_PATH, "--registry", scratch.registryPath().string(), "--debug-log",
                   scratch.debugLogPath().string()};
    launch.unsetEnvironment = {"DISPLAY", "WAYLAND_DISPLAY"};
    launch.directory = scratch.dir();
    ChildResult run = RunChild(launch, std::chrono::seconds(30));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.error.find("--headless"), std::string::npos) << run.error;
    EXPECT_FALSE(ProgramRan(scratch));
}

TEST(Headless, EndsWithStatusZeroOnceThereIsNothingMoreToDo) {
    ScratchEnvironment scratch;
    ChildResult run = RunWithFiles(scratch, {"--headless"});
    EXPECT_EQ(run.status, 0) << run.error;
    EXPECT_EQ(run.error, "");
    EXPECT_TRUE(ProgramRan(scratch)) << "it started up and seeded the settings";
}

TEST(Screenshots, ThatCannotBeWrittenAreReportedAndTheRunGoesOn) {
    ScratchEnvironment scratch;
    std::filesystem::create_directory(scratch.dir() / "taken.png");
    ChildResult run =
        RunScript(scratch, {.text = "shot taken.png\ntap 200 16\nwait 700\nshot after.png\n"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.error, "qozcal: cannot write screenshot taken.png: Is a directory\n");
    EXPECT_EQ(ClientDifferences(Shot(scratch, "after.png"), TargetMark(24, 32)), "");
}

TEST(Screenshots, FollowTheScreenSize) {
    ScratchEnvironment scratch;
    ChildResult run =
        RunScript(scratch, {.text = "shot big.png\n", .extra = {"--screen", "400x300"}});
    ASSERT_EQ(run.status, 0) << run.error;
    PngImage big = Shot(scratch, "big.png");
    EXPECT_EQ(big.width, 400);
    EXPECT_EQ(big.height, 300);
    EXPECT_EQ(big.At(0, 0), black) << "the window's border at the top-left corner";
}

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/host/simulator/pen_script.h"
#include "tests/support/input_text.h"
#include "tests/support/scratch_environment.h"

namespace {

using qoz::sim::ParsePenScript;
using qoz::sim::ScriptParse;
using qoz::sim::ScriptStep;

// A compact picture of the steps, e.g. "D25,33 U25,33 W700 Kspace S/x.png".
std::string Describe(const std::vector<ScriptStep>& steps) {
    std::string text;
    for (const ScriptStep& step : steps) {
        if (!text.empty()) text += ' ';
        if (step.kind == ScriptStep::Kind::Wait) {
            text += "W" + std::to_string(step.milliseconds);
        } else if (step.kind == ScriptStep::Kind::Shot) {
            text += "S" + step.shotPath;
        } else {
            text += InputText(step.input);
        }
    }
    return text;
}

std::string ErrorOf(const std::string& script) {
    ScriptParse parse = ParsePenScript(script);
    if (parse.ok) return "(accepted)";
    return std::to_string(parse.errorLine) + ": " + parse.errorMessage;
}

TEST(PenScriptCommands, SpellOutIntoPenAndKeyInputs) {
    ScriptParse parse = ParsePenScript(
        "down 1 2\nmove 3 4\nup 5 6\ntap 25 33\nstroke 10 20 30 40 50 60\n"
        "wait 700\nkey\nkey return\nkey escape\nkey q\nkey 7\nkey space\n");
    ASSERT_TRUE(parse.ok) << parse.errorMessage;
    EXPECT_EQ(Describe(parse.steps),
              "D1,2 M3,4 U5,6 D25,33 U25,33 D10,20 M30,40 M50,60 U50,60 W700 K32 K13 K27 "
              "K81 K55 K32");
}

TEST(PenScriptCommands, RememberTheLineTheyCameFrom) {
    ScriptParse parse = ParsePenScript("# a comment\n\ntap 1 1\n   \nwait 5\n");
    ASSERT_TRUE(parse.ok);
    ASSERT_EQ(parse.steps.size(), 3u);
    EXPECT_EQ(parse.steps[0].line, 3);
    EXPECT_EQ(parse.steps[1].line, 3);
    EXPECT_EQ(parse.steps[2].line, 5);
}

TEST(PenScriptCommands, IgnoreCommentsBlankLinesTabsAndCrLf) {
    ScriptParse parse =
        ParsePenScript("# heading\r\n\ttap\t3 4   # the first tap\r\n\r\nwait 0#no gap\r\n");
    ASSERT_TRUE(parse.ok) << parse.errorMessage;
    EXPECT_EQ(Describe(parse.steps), "D3,4 U3,4 W0");
}

TEST(PenScriptCommands, AcceptTheEdgesOfTheirRanges) {
    ScriptParse parse = ParsePenScript("tap 0 65535\nwait 86400000\ntap 0065535 0\n");
    ASSERT_TRUE(parse.ok) << parse.errorMessage;
    EXPECT_EQ(Describe(parse.steps), "D0,65535 U0,65535 W86400000 D65535,0 U65535,0");
}

TEST(PenScriptCommands, KeepAHeldPenAcrossWaitsKeysAndShots) {
    ScriptParse parse = ParsePenScript("down 1 1\nwait 20\nkey a\nshot held.png\nup 1 1\n");
    ASSERT_TRUE(parse.ok) << parse.errorMessage;
    EXPECT_EQ(Describe(parse.steps), "D1,1 W20 K65 Sheld.png U1,1");
}

TEST(PenScriptErrors, NameTheLineAndWhatIsWrong) {
    EXPECT_EQ(ErrorOf("tap 1 1\n\njump 3 4\n"), "3: unknown command 'jump'");
    EXPECT_EQ(ErrorOf("TAP 1 1\n"), "1: unknown command 'TAP'");
    EXPECT_EQ(ErrorOf("tap 1\n"), "1: 'tap' takes X Y, got 1 argument");
    EXPECT_EQ(ErrorOf("down 1 2 3\n"), "1: 'down' takes X Y, got 3 arguments");
    EXPECT_EQ(ErrorOf("wait\n"), "1: 'wait' takes MS, got 0 arguments");
    EXPECT_EQ(ErrorOf("wait 1 2\n"), "1: 'wait' takes MS, got 2 arguments");
    EXPECT_EQ(ErrorOf("shot\n"), "1: 'shot' takes one FILE.png, got 0 arguments");
    EXPECT_EQ(ErrorOf("key a b\n"), "1: 'key' takes at most one key name, got 2");
}

TEST(PenScriptErrors, RejectNonNumbersAndOutOfRangeValues) {
    EXPECT_EQ(ErrorOf("tap abc 1\n"), "1: 'abc' is not a number");
    EXPECT_EQ(ErrorOf("tap 1 -1\n"), "1: -1 is out of range (0 to 65535)");
    EXPECT_EQ(ErrorOf("tap +1 1\n"), "1: '+1' is not a number");
    EXPECT_EQ(ErrorOf("tap 1.5 1\n"), "1: '1.5' is not a number");
    EXPECT_EQ(ErrorOf("tap 0x10 1\n"), "1: '0x10' is not a number");
    EXPECT_EQ(ErrorOf("tap 65536 1\n"), "1: 65536 is out of range (0 to 65535)");
    EXPECT_EQ(ErrorOf("wait 86400001\n"), "1: 86400001 is out of range (0 to 86400000)");
    EXPECT_EQ(ErrorOf("wait 99999999999999999999999\n"),
              "1: 99999999999999999999999 is out of range (0 to 86400000)");
    EXPECT_EQ(ErrorOf("stroke 1 2 3 x\n"), "1: 'x' is not a number");
}

TEST(PenScriptErrors, RejectMalformedStrokes) {
    EXPECT_EQ(ErrorOf("stroke 1 2 3\n"),
              "1: 'stroke' needs X Y pairs, got an odd number of coordinates");
    EXPECT_EQ(ErrorOf("stroke 1 2\n"), "1: 'stroke' needs at least 2 points");
    EXPECT_EQ(ErrorOf("stroke\n"), "1: 'stroke' needs at least 2 points");
}

TEST(PenScriptErrors, FollowWhetherThePenIsDown) {
    EXPECT_EQ(ErrorOf("move 1 1\n"), "1: 'move' while the pen is up");
    EXPECT_EQ(ErrorOf("up 1 1\n"), "1: 'up' while the pen is up");
    EXPECT_EQ(ErrorOf("down 1 1\nup 1 1\nup 1 1\n"), "3: 'up' while the pen is up");
    EXPECT_EQ(ErrorOf("tap 1 1\nmove 2 2\n"), "2: 'move' while the pen is up");
    EXPECT_EQ(ErrorOf("stroke 1 1 2 2\nup 2 2\n"), "2: 'up' while the pen is up");
    EXPECT_EQ(ErrorOf("down 1 1\ndown 2 2\n"), "2: 'down' while the pen is already down");
    EXPECT_EQ(ErrorOf("down 1 1\ntap 2 2\n"), "2: 'tap' while the pen is already down");
    EXPECT_EQ(ErrorOf("down 1 1\nstroke 2 2 3 3\n"), "2: 'stroke' while the pen is already down");
}

TEST(PenScriptErrors, RejectUnknownKeys) {
    EXPECT_EQ(ErrorOf("key f1\n"), "1: unknown key 'f1' (space, return, escape, a-z, 0-9)");
    EXPECT_EQ(ErrorOf("key A\n"), "1: unknown key 'A' (space, return, escape, a-z, 0-9)");
}

TEST(PenScriptShots, NeedAnExistingFolderAndAPngName) {
    ScratchEnvironment scratch;
    std::string inside = (scratch.dir() / "shot.png").string();
    std::string missing = (scratch.dir() / "nowhere" / "shot.png").string();
    EXPECT_EQ(ErrorOf("shot " + inside + "\n"), "(accepted)");
    EXPECT_EQ(ErrorOf("shot relative.png\n"), "(accepted)");
    EXPECT_EQ(ErrorOf("shot SHOUT.PNG\n"), "(accepted)");
    EXPECT_EQ(ErrorOf("tap 1 1\nshot " + missing + "\n"),
              "2: folder of shot file '" + missing + "' does not exist");
    EXPECT_EQ(ErrorOf("shot picture.jpg\n"), "1: shot file 'picture.jpg' does not end in .png");
    EXPECT_EQ(ErrorOf("shot .png\n"), "1: shot file '.png' does not end in .png");
}

TEST(PenScriptFiles, PrefixErrorsWithTheFileAndLine) {
    ScratchEnvironment scratch;
    std::string path = (scratch.dir() / "bad.pen").string();
    std::ofstream(path) << "tap 1 1\nwait soon\n";
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_FALSE(qoz::sim::LoadPenScript(path, steps, error));
    EXPECT_EQ(error, path + ":2: 'soon' is not a number");
    EXPECT_TRUE(steps.empty());
}

TEST(PenScriptFiles, LoadAGoodScriptAndReportAMissingOne) {
    ScratchEnvironment scratch;
    std::string path = (scratch.dir() / "good.pen").string();
    std::ofstream(path) << "tap 1 1\n";
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_TRUE(qoz::sim::LoadPenScript(path, steps, error)) << error;
    EXPECT_EQ(Describe(steps), "D1,1 U1,1");

    std::string missing = (scratch.dir() / "missing.pen").string();
    EXPECT_FALSE(qoz::sim::LoadPenScript(missing, steps, error));
    EXPECT_EQ(error, "qozcal: cannot read script " + missing + ": No such file or directory");
    EXPECT_FALSE(qoz::sim::LoadPenScript(scratch.dir().string(), steps, error));
    EXPECT_NE(error.find("it is a folder"), std::string::npos) << error;
}

}  // namespace

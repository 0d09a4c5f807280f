#include <gtest/gtest.h>

#include <regex>

#include "platform/host/simulator/command_line.h"

namespace {

using qoz::sim::CommandLine;
using qoz::sim::ParseCommandLine;

CommandLine Parse(std::vector<std::string_view> arguments) { return ParseCommandLine(arguments); }

std::string ErrorOf(std::vector<std::string_view> arguments) {
    CommandLine result = ParseCommandLine(arguments);
    if (result.action != CommandLine::Action::UsageError) return "(accepted)";
    return result.error;
}

TEST(CommandLineOptions, DefaultToAPortraitScreenInAWindowAtZoomTwo) {
    CommandLine result = Parse({});
    EXPECT_EQ(result.action, CommandLine::Action::Run);
    EXPECT_EQ(result.options.screenWidth, 240);
    EXPECT_EQ(result.options.screenHeight, 320);
    EXPECT_EQ(result.options.zoom, 2);
    EXPECT_FALSE(result.options.headless);
    EXPECT_FALSE(result.options.virtualTime);
    EXPECT_FALSE(result.options.registryPath);
    EXPECT_FALSE(result.options.debugLogPath);
    EXPECT_FALSE(result.options.scriptPath);
}

TEST(CommandLineOptions, TakeValuesAfterASpaceOrAnEqualsSign) {
    CommandLine result =
        Parse({"--screen", "320x240", "--registry=/tmp/r.reg", "--debug-log", "d.log", "--script",
               "s.pen", "--headless", "--virtual-time", "--zoom=8"});
    ASSERT_EQ(result.action, CommandLine::Action::Run) << result.error;
    EXPECT_EQ(result.options.screenWidth, 320);
    EXPECT_EQ(result.options.screenHeight, 240);
    EXPECT_EQ(result.options.registryPath, "/tmp/r.reg");
    EXPECT_EQ(result.options.debugLogPath, "d.log");
    EXPECT_EQ(result.options.scriptPath, "s.pen");
    EXPECT_TRUE(result.options.headless);
    EXPECT_TRUE(result.options.virtualTime);
    EXPECT_EQ(result.options.zoom, 8);
}

TEST(CommandLineOptions, AcceptScreenSidesFromOneTo4096) {
    EXPECT_EQ(ErrorOf({"--screen", "1x1"}), "(accepted)");
    EXPECT_EQ(ErrorOf({"--screen", "4096x4096"}), "(accepted)");
    EXPECT_EQ(ErrorOf({"--zoom", "1"}), "(accepted)");
}

TEST(CommandLineOptions, HelpAndVersionWinOverRunning) {
    EXPECT_EQ(Parse({"--headless", "--help"}).action, CommandLine::Action::ShowHelp);
    EXPECT_EQ(Parse({"-h", "--version"}).action, CommandLine::Action::ShowHelp);
    EXPECT_EQ(Parse({"--version"}).action, CommandLine::Action::ShowVersion);
    EXPECT_TRUE(
        std::regex_match(qoz::sim::VersionText(), std::regex("qozcal [0-9]+\\.[0-9]+\\.[0-9]+\n")));
    std::string usage = qoz::sim::UsageText();
    for (const char* option :
         {"--screen WxH", "--registry FILE", "--debug-log FILE", "--script FILE", "--headless",
          "--virtual-time", "--zoom N", "-h, --help", "--version"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

TEST(CommandLineErrors, RejectBadScreenSizes) {
    const std::string expected = " for --screen (WxH, each side 1 to 4096)";
    EXPECT_EQ(ErrorOf({"--screen", "0x0"}), "bad screen size '0x0'" + expected);
    EXPECT_EQ(ErrorOf({"--screen", "5000x5000"}), "bad screen size '5000x5000'" + expected);
    EXPECT_EQ(ErrorOf({"--screen", "4097x1"}), "bad screen size '4097x1'" + expected);
    EXPECT_EQ(ErrorOf({"--screen", "abc"}), "bad screen size 'abc'" + expected);
    EXPECT_EQ(ErrorOf({"--screen", "240x"}), "bad screen size '240x'" + expected);
    EXPECT_EQ(ErrorOf({"--screen", "x320"}), "bad screen size 'x320'" + expected);
    EXPECT_EQ(ErrorOf({"--screen", "-240x320"}), "bad screen size '-240x320'" + expected);
    EXPECT_EQ(ErrorOf({"--screen", "240x320x1"}), "bad screen size '240x320x1'" + expected);
    EXPECT_EQ(ErrorOf({"--screen", "240X320"}), "bad screen size '240X320'" + expected);
}

TEST(CommandLineErrors, RejectBadZooms) {
    EXPECT_EQ(ErrorOf({"--zoom", "0"}), "bad zoom '0' for --zoom (1 to 8)");
    EXPECT_EQ(ErrorOf({"--zoom", "9"}), "bad zoom '9' for --zoom (1 to 8)");
    EXPECT_EQ(ErrorOf({"--zoom", "two"}), "bad zoom 'two' for --zoom (1 to 8)");
}

TEST(CommandLineErrors, RejectUnknownOptionsMissingValuesAndStrayArguments) {
    EXPECT_EQ(ErrorOf({"--fullscreen"}), "unknown option '--fullscreen'");
    EXPECT_EQ(ErrorOf({"-x"}), "unknown option '-x'");
    EXPECT_EQ(ErrorOf({"demo.pen"}), "unexpected argument 'demo.pen'");
    EXPECT_EQ(ErrorOf({"--headless", "--script"}), "option '--script' needs a value");
    EXPECT_EQ(ErrorOf({"--registry="}), "option '--registry' needs a file name");
    EXPECT_EQ(ErrorOf({"--headless=yes"}), "option '--headless' takes no value");
    EXPECT_EQ(ErrorOf({"--zoom=3", "--bogus=1"}), "unknown option '--bogus'");
}

}  // namespace

namespace {

TEST(CommandLineOptions, TakeAPanelOnlyWhenItsTextIsWhole) {
    EXPECT_FALSE(Parse({}).options.panel) << "no panel unless asked for";
    CommandLine result = Parse({"--panel", "dx=12,dy=-9,sx=1.06,sy=0.95,rot=1"});
    ASSERT_EQ(result.action, CommandLine::Action::Run) << result.error;
    ASSERT_TRUE(result.options.panel);
    EXPECT_EQ(result.options.panel->rotationDegrees, 1);
    EXPECT_NE(ErrorOf({"--panel=dx=12,dy=-9"}), "(accepted)");
}

}  // namespace

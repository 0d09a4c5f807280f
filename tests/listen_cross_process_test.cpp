#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/listener.h"
#include "tests/support/scratch_environment.h"
#include "tests/support/settings_values.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

void WriteSetting(const char16_t* name, const std::u16string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(CreateSettingsKey(&key), ERROR_SUCCESS);
    ASSERT_EQ(SetTextValue(key, name, text), ERROR_SUCCESS);
    RegCloseKey(key);
}

class Listen : public ::testing::Test {
protected:
    void Signal(const char16_t* name) {
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        EXPECT_TRUE(SetEvent(event));
        CloseHandle(event);
    }

    ScratchEnvironment scratch;
};

TEST_F(Listen, TheStartEventWakesTheListener) {
    Listener listener(scratch, {"--count", "1", "--timeout", "20000"});
    EXPECT_TRUE(listener.ready());
    Signal(u"CALSTARTEVENT");
    EXPECT_EQ(listener.NextLine(), "CALSTARTEVENT");
    EXPECT_EQ(listener.Finish(), 0);
    EXPECT_EQ(listener.Rest(), "");
}

TEST_F(Listen, TheEndEventBringsTheFourSettings) {
    // Written under other spellings, as a calibration writes them.
    WriteSetting(u"SCALEX", u"1.12940");
    WriteSetting(u"SCALEY", u"1.06667");
    WriteSetting(u"OFFSETX", u"-42.16471");
    WriteSetting(u"OFFSETY", u"-34.13334");
    Listener listener(scratch, {"--count", "1", "--timeout", "20000"});
    EXPECT_TRUE(listener.ready());
    Signal(u"CALENDEVENT");
    EXPECT_EQ(listener.NextLine(), "CALENDEVENT");
    EXPECT_EQ(listener.NextLine(), "ScaleX=1.12940");
    EXPECT_EQ(listener.NextLine(), "ScaleY=1.06667");
    EXPECT_EQ(listener.NextLine(), "OffsetX=-42.16471");
    EXPECT_EQ(listener.NextLine(), "OffsetY=-34.13334");
    EXPECT_EQ(listener.Finish(), 0);
    EXPECT_EQ(listener.Rest(), "");
}

TEST_F(Listen, MissingAndNonTextSettingsAreNamedAsSuch) {
    WriteSetting(u"ScaleX", u"1");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    DWORD number = 42;
    RegSetValueExW(key, u"ScaleY", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    RegCloseKey(key);

    Listener listener(scratch, {"--count", "2", "--timeout", "20000"});
    EXPECT_TRUE(listener.ready());
    Signal(u"CALSTARTEVENT");
    EXPECT_EQ(listener.NextLine(), "CALSTARTEVENT");
    Signal(u"CALENDEVENT");
    EXPECT_EQ(listener.NextLine(), "CALENDEVENT");
    EXPECT_EQ(listener.NextLine(), "ScaleX=1");
    EXPECT_EQ(listener.NextLine(), "ScaleY=(type 4)");
    EXPECT_EQ(listener.NextLine(), "OffsetX=(missing)");
    EXPECT_EQ(listener.NextLine(), "OffsetY=(missing)");
    EXPECT_EQ(listener.Finish(), 0);
}

TEST_F(Listen, AStartAndAnEndSetTogetherAreReportedInOrderWhateverItIsWaitingOn) {
    // The listener waits on the two events in turn. Each round sets the
    // start and at once the end, at a moment that moves through its watch:
    // often both come while it waits on the end. It must print the start
    // first every time and lose neither; a round begins only once the last
    // one is printed, so nothing is merged by the automatic reset.
    constexpr int kRounds = 200;
    Listener listener(scratch, {"--count", std::to_string(2 * kRounds), "--timeout", "100000"});
    ASSERT_TRUE(listener.ready());
    HANDLE start = CreateEventW(nullptr, FALSE, FALSE, u"CALSTARTEVENT");
    HANDLE end = CreateEventW(nullptr, FALSE, FALSE, u"CALENDEVENT");
    ASSERT_NE(start, nullptr);
    ASSERT_NE(end, nullptr);
    const std::string expected =
        "CALSTARTEVENT\nCALENDEVENT\nScaleX=(missing)\nScaleY=(missing)\n"
        "OffsetX=(missing)\nOffsetY=(missing)\n";
    for (int round = 0; round < kRounds; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 7 % 41));
        ASSERT_TRUE(SetEvent(start));
        ASSERT_TRUE(SetEvent(end));
        std::string printed;
        for (int line = 0; line < 6; ++line) printed += listener.NextLine() + "\n";
        ASSERT_EQ(printed, expected) << "in round " << round;
    }
    EXPECT_EQ(listener.Finish(), 0);
    EXPECT_EQ(listener.Rest(), "");
    CloseHandle(start);
    CloseHandle(end);
}

TEST_F(Listen, OneSetWakesExactlyOneOfTwoListeners) {
    Listener first(scratch, {"--count", "1", "--timeout", "1500"});
    EXPECT_TRUE(first.ready());
    Listener second(scratch, {"--count", "1", "--timeout", "1500"});
    EXPECT_TRUE(second.ready());
    Signal(u"CALSTARTEVENT");
    int firstStatus = first.Finish();
    int secondStatus = second.Finish();
    EXPECT_EQ(firstStatus + secondStatus, 1) << firstStatus << " and " << secondStatus;
    Listener& woken = firstStatus == 0 ? first : second;
    Listener& idle = firstStatus == 0 ? second : first;
    EXPECT_EQ(woken.Rest(), "CALSTARTEVENT\n");
    EXPECT_EQ(idle.Rest(), "");
}

TEST_F(Listen, ReadsTheSettingsFileItIsGivenNamesItAndPrintsItAsARegSnippet) {
    WriteSetting(u"ScaleX", u"9");  // in the scratch folder's file, which is not the one given
    std::string given = scratch.writeFile(
        "given.reg", "Windows Registry Editor Version 5.00\n\n"
                     "[HKEY_CURRENT_USER\\Software\\QozSerial]\n\"SCALEX\"=\"1.12940\"\n"
                     "\"ScaleY\"=\"a \\\"quoted\\\" \\\\ text\"\n\"OffsetX\"=dword:00000001\n");
    const std::string named = "qozcal-listen: settings read from " + given + "\n";
    Listener listener(scratch, {"--count=1", "--timeout=20000", "--registry=" + given});
    EXPECT_TRUE(listener.ready());
    Signal(u"CALENDEVENT");
    EXPECT_EQ(listener.Finish(), 0);
    EXPECT_EQ(listener.Output(),
              "CALENDEVENT\nScaleX=1.12940\nScaleY=a \"quoted\" \\ text\nOffsetX=(type 4)\n"
              "OffsetY=(missing)\n");
    EXPECT_EQ(listener.Errors(), named);

    // A value that is no text is left out of the snippet, named, and the status tells.
    Listener snippet(scratch, {"--reg", "--registry", given});
    EXPECT_EQ(snippet.Finish(), 1);
    EXPECT_EQ(snippet.Output(),
              "[HKEY_CURRENT_USER\\Software\\QozSerial]\n\"ScaleX\"=\"1.12940\"\n"
              "\"ScaleY\"=\"a \\\"quoted\\\" \\\\ text\"\n");
    EXPECT_EQ(snippet.Errors(), named + "qozcal-listen: OffsetX is (type 4), left out\n"
                                        "qozcal-listen: OffsetY is (missing), left out\n");
}

TEST_F(Listen, GivingUpBeforeTheCountEndsWithStatusOneAndSaysSo) {
    auto began = Clock::now();
    Listener listener(scratch, {"--count", "1", "--timeout", "200"});
    EXPECT_TRUE(listener.ready());
    EXPECT_EQ(listener.Finish(), 1);
    EXPECT_GE(Clock::now() - began, 200ms);
    EXPECT_EQ(listener.Rest(), "");
    EXPECT_EQ(listener.Errors(), "qozcal-listen: timed out after 200 ms with 0 of 1 events seen\n");
}

TEST_F(Listen, AnswersHelpAndVersionAndABadOptionWithOneLineAndAHint) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string output;  // the start of what it prints on standard output
        std::string error;   // the usage error's line
    };
    const Case cases[] = {
        {{"-h"}, 0, "Usage: qozcal-listen [--count N]", ""},
        {{"--version"}, 0, "qozcal-listen 0.", ""},
        {{"--count"}, 2, "", "option '--count' needs a value"},
        {{"--count", "-3"}, 2, "", "--count needs a whole number from 0 to 2147483647, not '-3'"},
        {{"--timeout", "soon"}, 2, "",
         "--timeout needs a whole number from 0 to 2147483647, not 'soon'"},
        {{"--reg=yes"}, 2, "", "option '--reg' takes no value"},
        {{"--registry="}, 2, "", "option '--registry' needs a file name"},
        {{"--loud"}, 2, "", "unknown option '--loud'"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.arguments.front());
        Listener listener(scratch, row.arguments);
        EXPECT_EQ(listener.Finish(), row.status);
        EXPECT_EQ(listener.Output().rfind(row.output, 0), 0u) << listener.Output();
        if (row.status == 2) {
            EXPECT_EQ(listener.Errors(), "qozcal-listen: " + row.error +
                                             "\nTry 'qozcal-listen --help' for more information.\n");
        }
    }
}

}  // namespace

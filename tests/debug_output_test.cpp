#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_environment.h"

namespace {

namespace fs = std::filesystem;

class DebugOutput : public ::testing::Test {
protected:
    ScratchEnvironment scratch;
};

TEST_F(DebugOutput, LinesReachTheLogAsExactUtf8Bytes) {
    NKDbgPrintfW(u"InitQOZCalRegistry : Fail RegCreateKeyEx\r\n");
    NKDbgPrintfW(u"AddQOZRegistryItem : Failed - [%s] - [%s]\r\n", u"펜입력", u"1");
    NKDbgPrintfW(u"no line end");
    EXPECT_EQ(scratch.debugLog(),
              "InitQOZCalRegistry : Fail RegCreateKeyEx\r\n"
              "AddQOZRegistryItem : Failed - [\xED\x8E\x9C\xEC\x9E\x85\xEB\xA0\xA5] - [1]\r\n"
              "no line end");
}

TEST_F(DebugOutput, LinesAreAppendedToWhatTheLogHolds) {
    std::ofstream(scratch.debugLogPath(), std::ios::binary) << "earlier\n";
    NKDbgPrintfW(u"%d\r\n", 7);
    EXPECT_EQ(scratch.debugLog(), "earlier\n7\r\n");
}

TEST_F(DebugOutput, LinesHaveNoLengthLimit) {
    std::u16string text(5000, u'w');
    NKDbgPrintfW(u"%s\r\n", text.c_str());
    EXPECT_EQ(scratch.debugLog(), std::string(5000, 'w') + "\r\n");
}

TEST_F(DebugOutput, TheLogIsChosenAgainAtEachLine) {
    fs::path other = scratch.dir() / "other.log";
    NKDbgPrintfW(u"first\r\n");
    setenv("QOZCAL_DEBUG_LOG", other.c_str(), 1);
    NKDbgPrintfW(u"second\r\n");
    EXPECT_EQ(scratch.debugLog(), "first\r\n");
    EXPECT_EQ(ReadWholeFile(other), "second\r\n");
}

TEST_F(DebugOutput, WithoutALogLinesGoToStandardError) {
    unsetenv("QOZCAL_DEBUG_LOG");
    testing::internal::CaptureStderr();
    NKDbgPrintfW(u"one\r\n");
    setenv("QOZCAL_DEBUG_LOG", "", 1);
    NKDbgPrintfW(u"%s\r\n", u"두");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "one\r\n\xEB\x91\x90\r\n");
    EXPECT_FALSE(fs::exists(scratch.debugLogPath()));
}

// The notice is printed once per process, so the case runs in a child.
TEST_F(DebugOutput, AnUnwritableLogFallsBackToStandardErrorWithOneNotice) {
    fs::path missing = scratch.dir() / "no-such-folder" / "debug.log";
    ChildLaunch launch;
    launch.function = [&] {
        setenv("QOZCAL_DEBUG_LOG", missing.c_str(), 1);
        NKDbgPrintfW(u"first\r\n");
        NKDbgPrintfW(u"second\r\n");
        setenv("QOZCAL_DEBUG_LOG", scratch.dir().c_str(), 1);  // a folder cannot be written either
        NKDbgPrintfW(u"third\r\n");
        return 0;
    };
    ChildResult run = RunChild(launch, std::chrono::seconds(30));
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.error, "qozcal: cannot write debug log " + missing.string() +
                             ": No such file or directory; debug lines go to standard error\n"
                             "first\r\nsecond\r\nthird\r\n");
    EXPECT_FALSE(fs::exists(missing));
}

}  // namespace

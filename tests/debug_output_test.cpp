#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "scratch_environment.h"

namespace {

namespace fs = std::filesystem;

// Sends this process's standard error into a file until stopped.
class StderrCapture {
public:
    explicit StderrCapture(fs::path file) : file_(std::move(file)) {
        saved_ = dup(STDERR_FILENO);
        int fd = open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~StderrCapture() { stop(); }
    std::string stop() {
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
            saved_ = -1;
        }
        return ReadWholeFile(file_);
    }

private:
    fs::path file_;
    int saved_ = -1;
};

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
    StderrCapture capture(scratch.dir() / "stderr");
    NKDbgPrintfW(u"one\r\n");
    setenv("QOZCAL_DEBUG_LOG", "", 1);
    NKDbgPrintfW(u"%s\r\n", u"두");
    EXPECT_EQ(capture.stop(), "one\r\n\xEB\x91\x90\r\n");
    EXPECT_FALSE(fs::exists(scratch.debugLogPath()));
}

// The notice is printed once per process, so the case runs in a child.
TEST_F(DebugOutput, AnUnwritableLogFallsBackToStandardErrorWithOneNotice) {
    fs::path missing = scratch.dir() / "no-such-folder" / "debug.log";
    fs::path captured = scratch.dir() / "stderr";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        setenv("QOZCAL_DEBUG_LOG", missing.c_str(), 1);
        NKDbgPrintfW(u"first\r\n");
        NKDbgPrintfW(u"second\r\n");
        setenv("QOZCAL_DEBUG_LOG", scratch.dir().c_str(), 1);  // a folder cannot be written either
        NKDbgPrintfW(u"third\r\n");
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(ReadWholeFile(captured),
              "qozcal: cannot write debug log " + missing.string() +
                  ": No such file or directory; debug lines go to standard error\n"
                  "first\r\nsecond\r\nthird\r\n");
    EXPECT_FALSE(fs::exists(missing));
}

}  // namespace

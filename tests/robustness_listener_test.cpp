// qozcal-listen given settings a .reg snippet cannot quote, a ready file
// someone planted, and stopped with a signal: it prints only what reads back
// the same, never writes through a link or over a file it did not make, and
// leaves no event behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/event_files.h"
#include "tests/support/listener.h"
#include "tests/support/qozcal_run.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

ChildResult PrintReg(const fs::path& registry) {
    return RunChild({.argv = {QOZCAL_LISTEN_PATH, "--reg", "--registry", registry.string()}}, 20s);
}

TEST(ListenerRegSnippet, ValuesAQuotedStringCannotHoldAreHexAndReadBackTheSame) {
    ScratchEnvironment scratch;
    const std::string key = "[HKEY_CURRENT_USER\\Software\\QozSerial]\n";
    scratch.writeRegistryText("Windows Registry Editor Version 5.00\n\n" + key +
                              "\"ScaleX\"=hex(1):31,00,00,00,32,00\n"   // 1 NUL 2
                              "\"ScaleY\"=hex(1):31,00,0a,00,32,00\n"   // 1 LF 2
                              "\"OffsetX\"=hex(1):e9,00,00,00\n"        // é, then a NUL
                              "\"OffsetY\"=\"-1.5\\\\\\\"\"\n");       // -1.5\"
    ChildResult printed = PrintReg(scratch.registryPath());
    EXPECT_EQ(printed.status, 0) << printed.error;
    EXPECT_EQ(printed.output, key +
                                  "\"ScaleX\"=hex(1):31,00,00,00,32,00\n"
                                  "\"ScaleY\"=hex(1):31,00,0a,00,32,00\n"
                                  "\"OffsetX\"=hex(1):e9,00,00,00\n"
                                  "\"OffsetY\"=\"-1.5\\\\\\\"\"\n");
    fs::path image = scratch.writeFile(
        "image.reg", "Windows Registry Editor Version 5.00\n\n" + printed.output);
    ChildResult again = PrintReg(image);
    EXPECT_EQ(again.status, 0) << again.error;
    EXPECT_EQ(again.output, printed.output);
}

TEST(ListenerReadyFile, IsMadeAnewOrRefusedNeverThroughALinkOrOverAFileItDidNotMake) {
    ScratchEnvironment scratch;
    fs::path ready = scratch.dir() / "listening";
    fs::path victim = scratch.dir() / "victim";
    for (bool link : {true, false}) {
        SCOPED_TRACE(link ? "a link planted where the ready file goes" : "a file already there");
        if (link) {
            fs::create_symlink(victim, ready);
        } else {
            scratch.writeFile("listening", "planted");
        }
        ChildResult run = RunChild(
            {.argv = {QOZCAL_LISTEN_PATH, "--ready", ready.string(), "--timeout", "100"}}, 20s);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.error, "qozcal-listen: cannot make the ready file " + ready.string() +
                                 ": File exists\n");
        EXPECT_FALSE(fs::exists(victim));
        if (!link) {
            EXPECT_EQ(ReadWholeFile(ready), "planted");
        }
        fs::remove(ready);
    }
    Listener listener(scratch, {"--timeout", "200"});
    ASSERT_TRUE(listener.ready());
    EXPECT_EQ(listener.Finish(), 1);
    for (const auto& entry : fs::directory_iterator(scratch.dir()))
        EXPECT_NE(entry.path().extension(), ".ready") << "its ready file stayed";
}

TEST(ListenerSignals, CtrlCTermAndHangupCloseItsEvents) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        ScratchEnvironment scratch;
        std::string start = EventFile(u"CALSTARTEVENT"), end = EventFile(u"CALENDEVENT");
        Listener listener(scratch, {});
        ASSERT_TRUE(listener.ready());
        ASSERT_TRUE(fs::exists(start) && fs::exists(end));
        kill(listener.Pid(), signal);
        EXPECT_EQ(listener.Finish(5s), 128 + signal);
        EXPECT_FALSE(fs::exists(start));
        EXPECT_FALSE(fs::exists(end));
    }
}

}  // namespace

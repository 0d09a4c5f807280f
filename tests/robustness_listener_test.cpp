// qozcal-listen with settings a .reg snippet cannot quote, a ready file
// someone planted, and a quit signal: it prints only what reads back the
// same, never writes through a link or over a file it did not make, and
// leaves no event behind.
#include <gtest/gtest.h>
#include <signal.h>

#include "tests/support/event_files.h"
#include "tests/support/listener.h"
#include "tests/support/qozcal_run.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(ListenerRegSnippet, ValuesAQuotedStringCannotHoldAreHexAndReadBackTheSame) {
    ScratchEnvironment scratch;
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const std::string snippet =
        "[HKEY_CURRENT_USER\\Software\\QozSerial]\n"
        "\"ScaleX\"=hex(1):31,00,00,00,32,00\n"  // 1, NUL, 2
        "\"ScaleY\"=hex(1):31,00,0a,00,32,00\n"  // 1, line feed, 2
        "\"OffsetX\"=hex(1):e9,00,00,00\n"       // é, NUL
        "\"OffsetY\"=\"-1.5\\\\\\\"\"\n";        // -1.5\"
    std::string file = scratch.writeFile("a.reg", header + snippet);
    for (int time = 0; time < 2; ++time) {  // then the snippet it printed
        ChildResult run =
            RunChild({.argv = {QOZCAL_LISTEN_PATH, "--reg", "--registry", file}}, 20s);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, snippet);
        file = scratch.writeFile("b.reg", header + run.output);
    }
}

TEST(ListenerRegSnippet, AMissingOrUnreadableSettingsFileIsNamedInItsOwnName) {
    ScratchEnvironment scratch;
    std::string missing = (scratch.dir() / "none.reg").string();
    std::string bad = scratch.writeFile("bad.reg", "garbage\n");
    ChildResult none =
        RunChild({.argv = {QOZCAL_LISTEN_PATH, "--reg", "--registry", missing}}, 20s);
    EXPECT_NE(none.error.find("qozcal-listen: the settings file " + missing + " does not exist\n"),
              std::string::npos)
        << none.error;
    ChildResult broken = RunChild({.argv = {QOZCAL_LISTEN_PATH, "--reg", "--registry", bad}}, 20s);
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.error.find("qozcal-listen: cannot read settings file " + bad + ", line 1: "),
              std::string::npos)
        << broken.error;
    EXPECT_NE(broken.error.find("qozcal-listen: ScaleX is (error 1015), left out\n"),
              std::string::npos);
}

TEST(ListenerReadyFile, IsMadeAnewOrRefusedNeverThroughALinkOrOverAFileItDidNotMake) {
    ScratchEnvironment scratch;
    fs::path ready = scratch.dir() / "listening", target = scratch.dir() / "target";
    for (bool link : {true, false}) {
        link ? fs::create_symlink(target, ready) : (void)scratch.writeFile("listening", "theirs");
        ChildResult run = RunChild({.argv = {QOZCAL_LISTEN_PATH, "--ready", ready}}, 20s);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.error, "qozcal-listen: cannot make the ready file " + ready.string() +
                                 ": File exists\n");
        EXPECT_TRUE(link ? !fs::exists(target) : ReadWholeFile(ready) == "theirs");
        fs::remove(ready);
    }
    Listener listener(scratch, {"--timeout", "200"});
    EXPECT_TRUE(listener.ready());
    EXPECT_EQ(listener.Finish(), 1);
    EXPECT_FALSE(fs::exists(listener.ReadyPath()));
}

TEST(ListenerSignals, CtrlCTermAndHangupCloseItsEvents) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ScratchEnvironment scratch;
        Listener listener(scratch, {});
        ASSERT_TRUE(listener.ready() && fs::exists(EventFile(u"CALENDEVENT")));
        kill(listener.Pid(), signal);
        EXPECT_EQ(listener.Finish(5s), 128 + signal);
        EXPECT_FALSE(fs::exists(EventFile(u"CALSTARTEVENT")) ||
                     fs::exists(EventFile(u"CALENDEVENT")));
    }
}

}  // namespace

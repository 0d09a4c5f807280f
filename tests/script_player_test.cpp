#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/kernel32/clock.h"
#include "platform/host/simulator/script_player.h"
#include "tests/support/input_text.h"

namespace {

using qoz::host::NowMilliseconds;
using qoz::host::RawInput;
using qoz::host::WaitMilliseconds;
using qoz::sim::ScriptPlayer;

// Records every shot with the clock's reading when it was taken.
struct ShotLog {
    std::vector<std::string> shots;
    uint64_t start = 0;
    qoz::sim::ShotWriter Writer() {
        return [this](const std::string& path) {
            shots.push_back(path + "@" + std::to_string(NowMilliseconds() - start));
        };
    }
};

class ScriptPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        qoz::host::UseVirtualTime(true);
        log.start = NowMilliseconds();
    }
    void TearDown() override { qoz::host::UseVirtualTime(false); }

    std::vector<qoz::sim::ScriptStep> Steps(const std::string& text) {
        qoz::sim::ScriptParse parse = qoz::sim::ParsePenScript(text);
        EXPECT_TRUE(parse.ok) << parse.errorMessage;
        return parse.steps;
    }
    uint64_t Elapsed() const { return NowMilliseconds() - log.start; }

    ShotLog log;
};

std::string Describe(const std::optional<RawInput>& input) {
    return input ? InputText(*input) : "none";
}

TEST_F(ScriptPlayback, HandsOverInputWithoutWaitsAtOnceAndInOrder) {
    ScriptPlayer player(Steps("stroke 1 2 3 4\nkey\n"), log.Writer());
    EXPECT_EQ(Describe(player.PollInput()), "D1,2");
    EXPECT_EQ(Describe(player.PollInput()), "M3,4");
    EXPECT_EQ(Describe(player.PollInput()), "U3,4");
    EXPECT_EQ(Describe(player.PollInput()), "K32");
    EXPECT_EQ(Describe(player.PollInput()), "none");
    EXPECT_TRUE(player.Finished());
    EXPECT_EQ(Describe(player.WaitInput()), "none");
    EXPECT_EQ(Elapsed(), 0u);
}

TEST_F(ScriptPlayback, HoldsInputBackUntilItsWaitHasPassed) {
    ScriptPlayer player(Steps("tap 1 1\nwait 700\ntap 2 2\n"), log.Writer());
    EXPECT_EQ(Describe(player.PollInput()), "D1,1");
    EXPECT_EQ(Describe(player.PollInput()), "U1,1");
    EXPECT_EQ(Describe(player.PollInput()), "none");
    WaitMilliseconds(699);
    EXPECT_EQ(Describe(player.PollInput()), "none");
    EXPECT_FALSE(player.Finished());
    EXPECT_EQ(Describe(player.WaitInput()), "D2,2");
    EXPECT_EQ(Elapsed(), 700u);
    EXPECT_EQ(Describe(player.PollInput()), "U2,2");
}

TEST_F(ScriptPlayback, CountsWaitsFromTheScriptsStartNotFromWhenInputWasTaken) {
    // The program pauses 500 ms after a calibration tap; the script's 700 ms
    // then leave only 200 ms more.
    ScriptPlayer player(Steps("tap 1 1\nwait 700\ntap 2 2\nwait 300\nkey\n"), log.Writer());
    player.PollInput();
    player.PollInput();
    WaitMilliseconds(500);
    EXPECT_EQ(Describe(player.WaitInput()), "D2,2");
    EXPECT_EQ(Elapsed(), 700u);
    // A program slower than the script gets what is overdue at once.
    WaitMilliseconds(2000);
    EXPECT_EQ(Describe(player.PollInput()), "U2,2");
    EXPECT_EQ(Describe(player.PollInput()), "K32");
    EXPECT_EQ(Elapsed(), 2700u);
}

TEST_F(ScriptPlayback, TakesShotsOnlyWhenTheProgramIsIdle) {
    ScriptPlayer player(Steps("tap 1 1\nshot a.png\ntap 2 2\nwait 50\nshot b.png\nshot c.png\n"),
                        log.Writer());
    EXPECT_EQ(Describe(player.PollInput()), "D1,1");
    EXPECT_EQ(Describe(player.PollInput()), "U1,1");
    // The tap behind the shot waits until the shot shows the first tap's
    // effect.
    EXPECT_EQ(Describe(player.PollInput()), "none");
    EXPECT_TRUE(log.shots.empty());
    EXPECT_EQ(Describe(player.WaitInput()), "D2,2");
    EXPECT_EQ(log.shots, std::vector<std::string>{"a.png@0"});
    EXPECT_EQ(Describe(player.PollInput()), "U2,2");
    EXPECT_EQ(Describe(player.PollInput()), "none");
    EXPECT_FALSE(player.Finished());
    EXPECT_EQ(Describe(player.WaitInput()), "none");
    EXPECT_TRUE(player.Finished());
    EXPECT_EQ(log.shots, (std::vector<std::string>{"a.png@0", "b.png@50", "c.png@50"}));
}

TEST_F(ScriptPlayback, LetsTrailingWaitsPassBeforeItEnds) {
    ScriptPlayer player(Steps("tap 1 1\nwait 1000\n"), log.Writer());
    player.PollInput();
    player.PollInput();
    EXPECT_TRUE(player.Finished());
    EXPECT_EQ(Describe(player.WaitInput()), "none");
    EXPECT_EQ(Elapsed(), 1000u);
}

TEST_F(ScriptPlayback, ResumesAfterItsWaitWasInterrupted) {
    int calls = 0;
    auto interruptOnce = [&calls](uint64_t due) {
        if (++calls == 1) return false;
        return qoz::sim::PassTimeOnClock(due);
    };
    ScriptPlayer player(Steps("wait 100\nshot a.png\ntap 5 6\n"), log.Writer(), interruptOnce);
    EXPECT_EQ(Describe(player.WaitInput()), "none");
    EXPECT_FALSE(player.Finished());
    EXPECT_TRUE(log.shots.empty());
    EXPECT_EQ(Elapsed(), 0u);
    EXPECT_EQ(Describe(player.WaitInput()), "D5,6");
    EXPECT_EQ(log.shots, std::vector<std::string>{"a.png@100"});
}

TEST(ScriptPlaybackRealTime, SleepsThroughWaits) {
    qoz::host::UseVirtualTime(false);
    uint64_t start = NowMilliseconds();
    ScriptPlayer player(qoz::sim::ParsePenScript("wait 30\nkey a\n").steps, [](auto&) {});
    EXPECT_EQ(Describe(player.PollInput()), "none");
    EXPECT_EQ(Describe(player.WaitInput()), "K65");
    EXPECT_GE(NowMilliseconds() - start, 30u);
}

}  // namespace

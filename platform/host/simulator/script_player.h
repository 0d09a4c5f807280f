// Plays a parsed pen script into the message loop. Each command is due once
// the waits before it have passed on the simulator's clock; screenshots are
// taken only while the program is idle, so they show what it has painted.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/shell.h"
#include "platform/host/simulator/pen_script.h"

namespace qoz::sim {

// Writes the simulated screen to a PNG file.
using ShotWriter = std::function<void(const std::string& path)>;

// Lets the clock run until it reads `dueMilliseconds`. Returns false when it
// stopped early because something else needs the program (the user's input
// arrived, the window was closed); the script then resumes later.
using TimePasser = std::function<bool(uint64_t dueMilliseconds)>;

// The plain clock: sleeps in real time, advances the virtual clock at once.
bool PassTimeOnClock(uint64_t dueMilliseconds);

class ScriptPlayer final : public host::InputSource {
public:
    // Times are counted from the clock's reading at construction.
    ScriptPlayer(std::vector<ScriptStep> steps, ShotWriter writeShot,
                 TimePasser letTimePass = PassTimeOnClock);

    // The next pen or key input if it is due now; never waits, never takes
    // a screenshot.
    std::optional<host::RawInput> PollInput() override;

    // Takes the screenshots that are next, lets the clock run to the next
    // input and returns it. Empty when the script is finished, or when the
    // time passer was interrupted (then Finished() is false).
    std::optional<host::RawInput> WaitInput() override;

    bool Finished() const;

private:
    // Skips waits, adding them to the due time of what follows.
    void PassOverWaits();

    std::vector<ScriptStep> steps_;
    size_t next_ = 0;
    uint64_t dueMilliseconds_;
    ShotWriter writeShot_;
    TimePasser letTimePass_;
};

}  // namespace qoz::sim

#include "platform/host/simulator/script_player.h"

#include "platform/host/shell.h"

namespace qoz::sim {

bool PassTimeOnClock(uint64_t dueMilliseconds) {
    for (uint64_t now = host::NowMilliseconds(); now < dueMilliseconds && !host::QuitRequested();
         now = host::NowMilliseconds())
        host::WaitMilliseconds(dueMilliseconds - now);
    return !host::QuitRequested();
}

ScriptPlayer::ScriptPlayer(std::vector<ScriptStep> steps, ShotWriter writeShot,
                           TimePasser letTimePass)
    : steps_(std::move(steps)),
      dueMilliseconds_(host::NowMilliseconds()),
      writeShot_(std::move(writeShot)),
      letTimePass_(std::move(letTimePass)) {}

void ScriptPlayer::PassOverWaits() {
    while (next_ < steps_.size() && steps_[next_].kind == ScriptStep::Kind::Wait) {
        dueMilliseconds_ += steps_[next_].milliseconds;
        ++next_;
    }
}

bool ScriptPlayer::Finished() const {
    for (size_t i = next_; i < steps_.size(); ++i)
        if (steps_[i].kind != ScriptStep::Kind::Wait) return false;
    return true;
}

std::optional<host::RawInput> ScriptPlayer::PollInput() {
    PassOverWaits();
    if (next_ == steps_.size()) return std::nullopt;
    const ScriptStep& step = steps_[next_];
    if (step.kind != ScriptStep::Kind::Input) return std::nullopt;
    if (host::NowMilliseconds() < dueMilliseconds_) return std::nullopt;
    ++next_;
    return step.input;
}

std::optional<host::RawInput> ScriptPlayer::WaitInput() {
    for (;;) {
        PassOverWaits();
        if (next_ == steps_.size()) {
            // Trailing waits still pass, so a script can keep the program
            // running for a while after its last command.
            letTimePass_(dueMilliseconds_);
            return std::nullopt;
        }
        if (!letTimePass_(dueMilliseconds_)) return std::nullopt;
        const ScriptStep& step = steps_[next_++];
        if (step.kind == ScriptStep::Kind::Input) return step.input;
        writeShot_(step.shotPath);
    }
}

}  // namespace qoz::sim

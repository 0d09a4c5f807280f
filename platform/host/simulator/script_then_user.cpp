#include "platform/host/simulator/script_then_user.h"

namespace qoz::sim {

std::optional<host::RawInput> ScriptThenUser::PollInput() {
    if (auto input = script_.PollInput()) return input;
    return display_.PollInput();
}

std::optional<host::RawInput> ScriptThenUser::WaitInput() {
    for (;;) {
        if (auto input = display_.PollInput()) return input;
        if (display_.Closed()) return std::nullopt;
        if (script_.Finished()) return display_.WaitInput();
        // Empty here means the user interrupted the script's wait; the loop
        // hands over their input and the script resumes on the next call.
        if (auto input = script_.WaitInput()) return input;
    }
}

}  // namespace qoz::sim

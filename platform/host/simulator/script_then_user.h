// A pen script played into a window: the script's input comes first, the
// user's after it, and the window stays open for the user once the script is
// done.
#pragma once

#include "platform/host/simulator/script_player.h"
#include "platform/host/simulator/window_input.h"

namespace qoz::sim {

class ScriptThenUser final : public host::InputSource {
public:
    // `script` must have been built with the display's PassTimeUntil as its
    // time passer, so the window stays alive while the script waits.
    ScriptThenUser(ScriptPlayer& script, WindowInput& display)
        : script_(script), display_(display) {}

    std::optional<host::RawInput> PollInput() override;
    std::optional<host::RawInput> WaitInput() override;

private:
    ScriptPlayer& script_;
    WindowInput& display_;
};

}  // namespace qoz::sim

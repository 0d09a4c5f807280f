// What the simulator needs of a window: the user's input, and a way to keep
// the window alive while a script waits. The window itself lives in the
// qozcal-window program; the headless simulator knows only this.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/host/shell.h"

namespace qoz::sim {

class WindowInput : public host::InputSource {
public:
    // True when the clock has reached `dueMilliseconds`, false as soon as the
    // user's input arrived or the window was closed.
    virtual bool PassTimeUntil(uint64_t dueMilliseconds) = 0;
    virtual bool Closed() const = 0;
};

// Makes a window for the current screen size scaled by `zoom`, or says why
// there is none.
using WindowOpener = std::unique_ptr<WindowInput> (*)(int zoom, std::string& error);

}  // namespace qoz::sim

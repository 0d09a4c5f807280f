// Turns raw pen and key input into window messages, the way the device
// delivers stylus and key messages: the pen to the window under it (or the
// one that captured it), keys to the window with the keyboard focus.
#pragma once

#include "screen_input.h"

namespace qoz::host {

// Queues the messages for one raw input; nothing when no window takes it.
void RouteRawInput(const RawInput& input);

void ResetInputRouting();

}  // namespace qoz::host

// Turns raw pen and key input into window messages, the way the device
// delivers stylus and key messages: the pen to the window under it (or the
// one that captured it), keys to the window with the keyboard focus.
#pragma once

#include <vector>

#include "platform/host/user32/shell_seam.h"
#include "platform/platform.h"

namespace qoz::host {

// The messages one raw input makes, in order, each with the screen point
// of the pen in pt (time is left to the queue); none when no window takes it.
std::vector<MSG> RouteRawInput(const RawInput& input);

void ResetInputRouting();

}  // namespace qoz::host

// The simulated screen's framebuffer as the window system draws into it.
// The shell's view of it is in screen_input.h.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/host/screen_input.h"
#include "platform/platform.h"

namespace qoz::host {

inline constexpr uint32_t kDesktopColour = 0x00408080;

std::vector<uint32_t>& MutableScreenPixels();
RECT ScreenRect();
// Back to an empty 240 x 320 desktop.
void ResetScreen();

}  // namespace qoz::host

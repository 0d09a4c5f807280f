// Host-only controls of the window system, for tests.
#pragma once

namespace qoz::host {

// Forgets every window, class, queued message, pending quit and the input
// source, and brings back an empty 240 x 320 screen. The caption font stays
// loaded (see ForgetCaptionFontForTesting).
void ResetWindowSystemForTesting();

}  // namespace qoz::host

// The program started inside the benchmark's own process, against the
// host's window system and on the virtual clock, with its message loop
// driven by the benchmark.
#pragma once

#include "platform/platform.h"

namespace qoz::bench {

// Forgets the previous session's windows, puts the program back in pad mode
// with an empty stroke, runs its start-up and its loop up to the first idle
// moment (the first paint is done). Returns the main window, or null when
// start-up failed.
HWND StartProgramInProcess();

// Fetches and dispatches messages, repaints included, until nothing is left.
void RunLoopUntilIdle();

}  // namespace qoz::bench

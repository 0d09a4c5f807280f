// The program started inside the test's or benchmark's own process, against
// the host's window system and on the virtual clock, with its message loop
// driven by the caller.
#pragma once

#include "platform/platform.h"

// Forgets the previous session's windows, puts the program back in pad mode
// with an empty stroke and runs its start-up. Returns the main window, or
// null when start-up failed.
HWND StartProgramInProcess();

// Fetches and dispatches messages until nothing is left to do: no queued
// message, no pending repaint and no more input.
void RunLoopUntilIdle();

// The program started inside the test's or benchmark's own process, against
// the host's window system and on the virtual clock, with its message loop
// driven by the caller.
#pragma once

#include "platform/platform.h"

// Forgets the previous session's windows, gives the simulated screen this
// size and puts the program back in pad mode with an empty stroke.
void ResetProgramInProcess(int screenWidth = 240, int screenHeight = 320);

// ResetProgramInProcess, then the program's start-up. Returns the main
// window, or null when start-up failed.
HWND StartProgramInProcess(int screenWidth = 240, int screenHeight = 320);

// Fetches and dispatches messages until nothing is left to do: no queued
// message, no pending repaint and no more input.
void RunLoopUntilIdle();

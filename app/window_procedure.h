// The main window's procedure: pen input into the stroke buffer, the pad and
// calibration modes, the three button commands.
#pragma once

#include "platform/platform.h"

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

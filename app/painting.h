// Paints the main window: the X mark of the current target while calibrating,
// the current stroke on the pen pad.
#pragma once

#include "platform/platform.h"

void PaintMainWindow(HWND window);
void DrawTargetCross(HDC deviceContext);

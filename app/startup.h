// Start-up in its fixed order, and the message loop.
#pragma once

#include "platform/platform.h"

// Events, settings, the window and its buttons, the targets, then shows the
// window. Returns 1, or 0 when the main window could not be created.
int InitMainWindow(HINSTANCE instance, int showCommand);

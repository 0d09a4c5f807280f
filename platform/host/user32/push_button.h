// The built-in "button" class: a push button with a 1-pixel frame and its
// caption centred, pushed-in (inverted) while the pen holds it down.
#pragma once

#include "platform/platform.h"

namespace qoz::host {

LRESULT CALLBACK PushButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qoz::host

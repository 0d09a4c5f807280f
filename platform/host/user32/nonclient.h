// What the window system draws itself, outside any client area: the
// desktop behind the windows and the windows' borders.
#pragma once

#include "platform/host/user32/window_table.h"
#include "platform/platform.h"

namespace qoz::host {

void PaintDesktop(const RECT& screenArea);
void PaintBorder(const Window& window, const RECT& screenArea);

}  // namespace qoz::host

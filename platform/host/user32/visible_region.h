// Which screen pixels a window may draw on: its own area, cut to the screen
// and to its ancestors' client areas, less whatever stacks above it.
#pragma once

#include "platform/host/gdi32/rect_region.h"
#include "platform/host/user32/window_table.h"

namespace qoz::host {

enum class WindowPart { Client, Whole };

// In screen coordinates; empty for a window that is not shown. The client
// part also leaves out the window's own shown children, which lie on top.
Region VisibleRegion(const Window& window, WindowPart part);

}  // namespace qoz::host

// Pending repaints: which windows need WM_PAINT, over what part of their
// client area and whether the background is to be erased first, and what
// becomes exposed when a window is hidden or moved.
#pragma once

#include "platform/host/user32/window_table.h"
#include "platform/platform.h"

namespace qoz::host {

// Adds a client rectangle (cut to the client area) to the pending repaint.
// A window that is not shown collects nothing.
void InvalidateClient(Window& window, const RECT& rect, bool erase);
// The whole of the window and of every shown descendant, with erasing.
void InvalidateShownTree(Window& window);
// Also draws the borders of the window and of its shown descendants.
void RevealShownTree(Window& window);
// Drops the pending repaints of a window and its descendants.
void ForgetUpdates(const Window& window);
// A screen area that a window has left: the desktop and the borders there
// are redrawn now, and every window beneath asks to be repainted there.
void ExposeScreenArea(const RECT& screenArea);

// The first shown window (parents before children) with a repaint pending.
Window* NextWindowToPaint();

struct PendingUpdate {
    RECT rect{0, 0, 0, 0};
    bool erase = false;
};
// Returns the pending repaint and clears it.
PendingUpdate TakeUpdate(Window& window);

}  // namespace qoz::host

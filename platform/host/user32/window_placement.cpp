// SetWindowPos and ShowWindow: moving, stacking, showing and hiding.
#include <algorithm>

#include "platform/host/user32/update_region.h"
#include "platform/host/user32/window_table.h"

using namespace qoz::host;

namespace {

struct Placement {
    int x, y, width, height;
    std::vector<Window*> stack;
    bool operator==(const Placement&) const = default;
};

Placement PlacementOf(const Window& window) {
    return Placement{window.x, window.y, window.width, window.height, StackTopFirst(window.parent)};
}

// Focus and capture cannot stay inside a window that is hidden.
void TakeInputAway(const Window& hidden) {
    if (IsSelfOrDescendant(FocusWindow(), hidden.handle)) SetFocusWindow(hidden.parent);
    if (IsSelfOrDescendant(CaptureWindow(), hidden.handle)) SetCaptureWindow(nullptr);
}

}  // namespace

// SetWindowPos (user32)
BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    Window* window = LookUpWindow(handle);
    if (!window) return FALSE;
    const bool shown = IsShown(*window);
    const RECT before = WindowScreenRect(*window);
    const Placement old = PlacementOf(*window);

    const bool topLevel = window->parent == nullptr;
    if (insertAfter == HWND_TOPMOST && topLevel) window->topmost = true;
    if (insertAfter == HWND_TOPMOST || insertAfter == nullptr) RaiseWindow(*window);
    if (!(flags & SWP_NOMOVE)) {
        window->x = std::clamp(x, -kMaxWindowCoordinate, kMaxWindowCoordinate);
        window->y = std::clamp(y, -kMaxWindowCoordinate, kMaxWindowCoordinate);
    }
    if (!(flags & SWP_NOSIZE)) {
        window->width = std::clamp(width, 0, kMaxWindowCoordinate);
        window->height = std::clamp(height, 0, kMaxWindowCoordinate);
    }

    if (shown && PlacementOf(*window) != old) {
        ExposeScreenArea(before);
        RevealShownTree(*window);
    }
    return TRUE;
}

// ShowWindow (user32)
BOOL ShowWindow(HWND handle, int showCommand) {
    Window* window = LookUpWindow(handle);
    if (!window) return FALSE;
    const bool wasVisible = (window->style & WS_VISIBLE) != 0;
    if (showCommand != SW_HIDE && !wasVisible) {
        window->style |= WS_VISIBLE;
        if (IsShown(*window)) RevealShownTree(*window);
    } else if (showCommand == SW_HIDE && wasVisible) {
        const bool wasShown = IsShown(*window);
        const RECT area = WindowScreenRect(*window);
        window->style &= ~DWORD(WS_VISIBLE);
        ForgetUpdates(*window);
        TakeInputAway(*window);
        if (wasShown) ExposeScreenArea(area);
    }
    return wasVisible ? TRUE : FALSE;
}

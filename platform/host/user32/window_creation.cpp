// CreateWindowExW: top-level windows and child controls of any known class.
#include <algorithm>

#include "platform/host/gdi32/screen.h"
#include "platform/host/user32/update_region.h"
#include "platform/host/user32/window_classes.h"
#include "platform/host/user32/window_table.h"

using namespace qoz::host;

namespace {

int Coordinate(int value) {
    if (value == CW_USEDEFAULT) return 0;
    return std::clamp(value, -kMaxWindowCoordinate, kMaxWindowCoordinate);
}

// A top-level window left to the default covers the screen; a child, nothing.
int Extent(int value, bool child, int screenExtent) {
    if (value == CW_USEDEFAULT) return child ? 0 : screenExtent;
    return std::clamp(value, 0, kMaxWindowCoordinate);
}

}  // namespace

// CreateWindowExW (user32)
HWND CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE, void*) {
    const WindowClass* windowClass = FindWindowClass(className);
    if (!windowClass) return nullptr;
    const bool child = (style & WS_CHILD) != 0;
    if (child && !LookUpWindow(parent)) return nullptr;

    Window window;
    window.parent = child ? parent : nullptr;
    window.procedure = windowClass->procedure;
    window.background = windowClass->background;
    window.text = windowName ? windowName : u"";
    window.style = style;
    window.id = child ? int(reinterpret_cast<uintptr_t>(menu)) : 0;
    window.x = Coordinate(x);
    window.y = Coordinate(y);
    window.width = Extent(width, child, ScreenWidth());
    window.height = Extent(height, child, ScreenHeight());
    window.stackOrder = NextStackOrder(child);
    HWND handle = AddWindow(window);
    if (!handle) return nullptr;

    // The first top-level window has the keyboard focus from the start.
    if (!child && !FocusWindow()) SetFocusWindow(handle);
    Window* created = LookUpWindow(handle);
    if (IsShown(*created)) RevealShownTree(*created);
    return handle;
}

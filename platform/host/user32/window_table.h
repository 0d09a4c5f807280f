// Every window the program created, with its place, stacking, visibility and
// pending repaint, plus the keyboard focus and the pen capture. Windows are
// never destroyed, so a handle stays valid for the life of the process and
// creation order puts every parent before its children.
#pragma once

#include <string>
#include <vector>

#include "platform/host/gdi32/rect_region.h"
#include "platform/platform.h"

namespace qoz::host {

struct Window {
    HWND handle = nullptr;
    HWND parent = nullptr;  // only for WS_CHILD windows
    WNDPROC procedure = nullptr;
    HBRUSH background = nullptr;
    std::u16string text;
    DWORD style = 0;
    int id = 0;  // a child's menu argument
    // In the parent's client area for a child, on the screen otherwise.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool topmost = false;
    long long stackOrder = 0;  // larger is nearer the top among siblings
    // The pending repaint, in client coordinates.
    bool updatePending = false;
    RECT updateRect{0, 0, 0, 0};
    bool eraseRequested = false;
    int controlState = 0;  // owned by the class procedure
};

// Keeps window coordinates far from integer overflow.
inline constexpr int kMaxWindowCoordinate = 1 << 24;

// Null when the table is full.
HWND AddWindow(const Window& window);
Window* LookUpWindow(HWND handle);
std::vector<Window*> WindowsInCreationOrder();
// Siblings, top of the stack first: the top-level windows for a null parent
// (topmost ones above the others), else the parent's children.
std::vector<Window*> StackTopFirst(HWND parent);
// Puts the window on top of its siblings (of its band, for top-level ones).
void RaiseWindow(Window& window);
// New top-level windows go on top, new children below their siblings.
long long NextStackOrder(bool child);

bool IsShown(const Window& window);  // it and all its ancestors are visible
bool IsSelfOrDescendant(HWND candidate, HWND ancestor);

int BorderWidth(const Window& window);
RECT WindowScreenRect(const Window& window);
RECT ClientScreenRect(const Window& window);
POINT ClientOrigin(const Window& window);  // on the screen
RECT ClientRect(const Window& window);     // in client coordinates, from (0, 0)

// The shown window that owns a screen pixel, and whether the pixel is in
// its client area (not its border). Null for the desktop.
struct ScreenHit {
    Window* window = nullptr;
    bool client = false;
};
ScreenHit HitTest(int screenX, int screenY);

HWND FocusWindow();
void SetFocusWindow(HWND window);
HWND CaptureWindow();
void SetCaptureWindow(HWND window);

void ResetWindowTable();

}  // namespace qoz::host

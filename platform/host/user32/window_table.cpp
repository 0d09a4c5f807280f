#include "platform/host/user32/window_table.h"

#include <algorithm>

#include "platform/host/kernel32/handle_table.h"
#include "platform/host/gdi32/screen.h"

namespace qoz::host {

namespace {

// Windows are never destroyed; a slot never serves a second window, so slot
// order is creation order.
HandleTable<HWND, Window, SlotReuse::Never> windows(HandleKind::Window);
long long stackCounter = 0;
HWND focus = nullptr;
HWND capture = nullptr;

bool IsVisibleStyle(const Window& window) { return (window.style & WS_VISIBLE) != 0; }

ScreenHit HitWithin(Window& window, int screenX, int screenY) {
    if (!RectContains(ClientScreenRect(window), screenX, screenY)) return {&window, false};
    for (Window* child : StackTopFirst(window.handle)) {
        if (IsVisibleStyle(*child) && RectContains(WindowScreenRect(*child), screenX, screenY))
            return HitWithin(*child, screenX, screenY);
    }
    return {&window, true};
}

}  // namespace

HWND AddWindow(const Window& window) {
    HWND handle = windows.Add(Window(window));
    if (handle) windows.Find(handle)->handle = handle;
    return handle;
}

Window* LookUpWindow(HWND handle) { return windows.Find(handle); }

std::vector<Window*> WindowsInCreationOrder() {
    std::vector<Window*> result;
    windows.ForEach([&](Window& window) { result.push_back(&window); });
    return result;
}

std::vector<Window*> StackTopFirst(HWND parent) {
    std::vector<Window*> siblings;
    windows.ForEach([&](Window& window) {
        if (window.parent == parent) siblings.push_back(&window);
    });
    std::stable_sort(siblings.begin(), siblings.end(), [](const Window* a, const Window* b) {
        if (a->topmost != b->topmost) return a->topmost;
        return a->stackOrder > b->stackOrder;
    });
    return siblings;
}

void RaiseWindow(Window& window) { window.stackOrder = ++stackCounter; }

long long NextStackOrder(bool child) {
    ++stackCounter;
    return child ? -stackCounter : stackCounter;
}

bool IsShown(const Window& window) {
    for (const Window* level = &window; level; level = LookUpWindow(level->parent))
        if (!IsVisibleStyle(*level)) return false;
    return true;
}

bool IsSelfOrDescendant(HWND candidate, HWND ancestor) {
    for (Window* level = LookUpWindow(candidate); level; level = LookUpWindow(level->parent))
        if (level->handle == ancestor) return true;
    return false;
}

int BorderWidth(const Window& window) { return (window.style & WS_BORDER) ? 1 : 0; }

RECT WindowScreenRect(const Window& window) {
    POINT origin{0, 0};
    if (const Window* parent = LookUpWindow(window.parent)) origin = ClientOrigin(*parent);
    return MakeRect(origin.x + window.x, origin.y + window.y, window.width, window.height);
}

RECT ClientScreenRect(const Window& window) {
    RECT outer = WindowScreenRect(window);
    int border = BorderWidth(window);
    RECT inner{outer.left + border, outer.top + border, outer.right - border,
               outer.bottom - border};
    if (IsEmptyRect(inner)) return RECT{inner.left, inner.top, inner.left, inner.top};
    return inner;
}

POINT ClientOrigin(const Window& window) {
    RECT client = ClientScreenRect(window);
    return POINT{client.left, client.top};
}

RECT ClientRect(const Window& window) {
    RECT client = ClientScreenRect(window);
    return RECT{0, 0, client.right - client.left, client.bottom - client.top};
}

ScreenHit HitTest(int screenX, int screenY) {
    if (screenX < 0 || screenY < 0 || screenX >= ScreenWidth() || screenY >= ScreenHeight())
        return {};
    for (Window* window : StackTopFirst(nullptr)) {
        if (IsVisibleStyle(*window) && RectContains(WindowScreenRect(*window), screenX, screenY))
            return HitWithin(*window, screenX, screenY);
    }
    return {};
}

std::u16string TopWindowName() {
    for (Window* window : StackTopFirst(nullptr))
        if (IsVisibleStyle(*window)) return window->text;
    return {};
}

HWND FocusWindow() { return focus; }
void SetFocusWindow(HWND window) { focus = window; }
HWND CaptureWindow() { return capture; }
void SetCaptureWindow(HWND window) { capture = window; }

void ResetWindowTable() {
    windows.Clear();
    stackCounter = 0;
    focus = nullptr;
    capture = nullptr;
}

}  // namespace qoz::host

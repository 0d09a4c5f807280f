#include "platform/host/user32/window_table.h"

#include <algorithm>
#include <memory>

#include "platform/host/screen.h"

namespace qoz::host {

namespace {

// Handles are small numbers that cannot be mistaken for pointers.
constexpr uintptr_t kFirstHandle = 0x10000;
constexpr uintptr_t kHandleStep = 4;

std::vector<std::unique_ptr<Window>> windows;
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
    auto handle = reinterpret_cast<HWND>(kFirstHandle + kHandleStep * windows.size());
    windows.push_back(std::make_unique<Window>(window));
    windows.back()->handle = handle;
    return handle;
}

Window* LookUpWindow(HWND handle) {
    auto value = reinterpret_cast<uintptr_t>(handle);
    if (value < kFirstHandle || (value - kFirstHandle) % kHandleStep != 0) return nullptr;
    size_t index = (value - kFirstHandle) / kHandleStep;
    return index < windows.size() ? windows[index].get() : nullptr;
}

std::vector<Window*> WindowsInCreationOrder() {
    std::vector<Window*> result;
    for (auto& window : windows) result.push_back(window.get());
    return result;
}

std::vector<Window*> StackTopFirst(HWND parent) {
    std::vector<Window*> siblings;
    for (auto& window : windows)
        if (window->parent == parent) siblings.push_back(window.get());
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

HWND FocusWindow() { return focus; }
void SetFocusWindow(HWND window) { focus = window; }
HWND CaptureWindow() { return capture; }
void SetCaptureWindow(HWND window) { capture = window; }

void ResetWindowTable() {
    windows.clear();
    stackCounter = 0;
    focus = nullptr;
    capture = nullptr;
}

}  // namespace qoz::host

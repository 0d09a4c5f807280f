#include "platform/host/user32/update_region.h"

#include "platform/host/user32/nonclient.h"
#include "platform/host/user32/visible_region.h"

namespace qoz::host {

void InvalidateClient(Window& window, const RECT& rect, bool erase) {
    if (!IsShown(window)) return;
    RECT area = IntersectRects(rect, ClientRect(window));
    if (IsEmptyRect(area)) return;
    window.updateRect = window.updatePending ? BoundingUnion(window.updateRect, area) : area;
    window.updatePending = true;
    window.eraseRequested = window.eraseRequested || erase;
}

void InvalidateShownTree(Window& window) {
    for (Window* each : WindowsInCreationOrder())
        if (IsSelfOrDescendant(each->handle, window.handle))
            InvalidateClient(*each, ClientRect(*each), true);
}

void RevealShownTree(Window& window) {
    for (Window* each : WindowsInCreationOrder())
        if (IsSelfOrDescendant(each->handle, window.handle) && IsShown(*each))
            PaintBorder(*each, WindowScreenRect(*each));
    InvalidateShownTree(window);
}

void ForgetUpdates(const Window& window) {
    for (Window* each : WindowsInCreationOrder()) {
        if (!IsSelfOrDescendant(each->handle, window.handle)) continue;
        each->updatePending = false;
        each->eraseRequested = false;
        each->updateRect = RECT{0, 0, 0, 0};
    }
}

void ExposeScreenArea(const RECT& screenArea) {
    PaintDesktop(screenArea);
    for (Window* window : WindowsInCreationOrder()) {
        if (!IsShown(*window)) continue;
        PaintBorder(*window, screenArea);
        RECT exposed =
            RegionBounds(IntersectRegion(VisibleRegion(*window, WindowPart::Client), screenArea));
        if (IsEmptyRect(exposed)) continue;
        POINT origin = ClientOrigin(*window);
        InvalidateClient(*window, OffsetRect(exposed, -origin.x, -origin.y), true);
    }
}

Window* NextWindowToPaint() {
    for (Window* window : WindowsInCreationOrder())
        if (window->updatePending && IsShown(*window)) return window;
    return nullptr;
}

PendingUpdate TakeUpdate(Window& window) {
    PendingUpdate update;
    if (window.updatePending) update = PendingUpdate{window.updateRect, window.eraseRequested};
    window.updatePending = false;
    window.eraseRequested = false;
    window.updateRect = RECT{0, 0, 0, 0};
    return update;
}

}  // namespace qoz::host

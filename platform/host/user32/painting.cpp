// Painting: InvalidateRect adds to a window's pending repaint, UpdateWindow
// sends WM_PAINT for it at once, and BeginPaint and EndPaint hand it to the
// window's procedure as a device context clipped to what is visible of it.
#include <optional>

#include "platform/host/gdi32/device_context.h"
#include "platform/host/gdi32/stock_objects.h"
#include "platform/host/user32/update_region.h"
#include "platform/host/user32/visible_region.h"
#include "platform/host/user32/window_table.h"

using namespace qoz::host;

// BeginPaint (user32)
HDC BeginPaint(HWND handle, PAINTSTRUCT* paint) {
    Window* window = LookUpWindow(handle);
    if (!window || !paint) return nullptr;
    PendingUpdate update = TakeUpdate(*window);
    POINT origin = ClientOrigin(*window);
    Region clip = IntersectRegion(VisibleRegion(*window, WindowPart::Client),
                                  OffsetRect(update.rect, origin.x, origin.y));
    *paint = PAINTSTRUCT{};
    paint->rcPaint = update.rect;
    if (update.erase) {
        // fErase tells the procedure that erasing is still its job.
        std::optional<uint32_t> colour = BrushColour(window->background);
        if (colour) FillScreenRegion(clip, *colour);
        paint->fErase = colour ? FALSE : TRUE;
    }
    paint->hdc = OpenDc(window->handle, origin, std::move(clip));
    return paint->hdc;
}

// EndPaint (user32)
BOOL EndPaint(HWND handle, const PAINTSTRUCT* paint) {
    if (!paint) return FALSE;
    return CloseDc(paint->hdc, handle) ? TRUE : FALSE;
}

// InvalidateRect (user32)
BOOL InvalidateRect(HWND handle, const RECT* rect, BOOL erase) {
    Window* window = LookUpWindow(handle);
    if (!window) return FALSE;
    InvalidateClient(*window, rect ? *rect : ClientRect(*window), erase != FALSE);
    return TRUE;
}

// UpdateWindow (user32)
BOOL UpdateWindow(HWND handle) {
    if (!LookUpWindow(handle)) return FALSE;
    // The window first, then its children, as each still needs it.
    for (Window* window : WindowsInCreationOrder()) {
        if (IsSelfOrDescendant(window->handle, handle) && window->updatePending && IsShown(*window))
            SendMessageW(window->handle, WM_PAINT, 0, 0);
    }
    return TRUE;
}

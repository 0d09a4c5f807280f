// BeginPaint and EndPaint: a window's pending repaint handed to its
// procedure as a device context clipped to what is visible of it.
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

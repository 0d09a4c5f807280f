#include "platform/host/user32/nonclient.h"

#include "platform/host/gdi32/device_context.h"
#include "platform/host/gdi32/stock_objects.h"
#include "platform/host/gdi32/screen.h"
#include "platform/host/user32/visible_region.h"

namespace qoz::host {

void PaintDesktop(const RECT& screenArea) {
    Region desktop{IntersectRects(screenArea, ScreenRect())};
    for (Window* window : StackTopFirst(nullptr))
        if (window->style & WS_VISIBLE) desktop = SubtractRect(desktop, WindowScreenRect(*window));
    FillScreenRegion(desktop, kDesktopColour);
}

void PaintBorder(const Window& window, const RECT& screenArea) {
    const int border = BorderWidth(window);
    if (border == 0) return;
    Region visible = IntersectRegion(VisibleRegion(window, WindowPart::Whole), screenArea);
    if (visible.empty()) return;
    RECT outer = WindowScreenRect(window);
    const RECT strips[] = {
        RECT{outer.left, outer.top, outer.right, outer.top + border},
        RECT{outer.left, outer.bottom - border, outer.right, outer.bottom},
        RECT{outer.left, outer.top, outer.left + border, outer.bottom},
        RECT{outer.right - border, outer.top, outer.right, outer.bottom},
    };
    for (const RECT& strip : strips) {
        Region part;
        for (const RECT& piece : visible) {
            RECT overlap = IntersectRects(piece, strip);
            if (!IsEmptyRect(overlap)) part.push_back(overlap);
        }
        FillScreenRegion(part, kBlack);
    }
}

}  // namespace qoz::host

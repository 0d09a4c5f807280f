#include "platform/host/user32/visible_region.h"

#include "platform/host/gdi32/screen.h"

namespace qoz::host {

Region VisibleRegion(const Window& window, WindowPart part) {
    if (!IsShown(window)) return {};
    RECT area = part == WindowPart::Client ? ClientScreenRect(window) : WindowScreenRect(window);
    area = IntersectRects(area, ScreenRect());
    for (Window* ancestor = LookUpWindow(window.parent); ancestor;
         ancestor = LookUpWindow(ancestor->parent))
        area = IntersectRects(area, ClientScreenRect(*ancestor));
    if (IsEmptyRect(area)) return {};

    Region region{area};
    for (const Window* level = &window; level; level = LookUpWindow(level->parent)) {
        for (Window* sibling : StackTopFirst(level->parent)) {
            if (sibling == level) break;
            if (sibling->style & WS_VISIBLE)
                region = SubtractRect(region, WindowScreenRect(*sibling));
        }
    }
    if (part == WindowPart::Client) {
        for (Window* child : StackTopFirst(window.handle))
            if (child->style & WS_VISIBLE) region = SubtractRect(region, WindowScreenRect(*child));
    }
    return region;
}

}  // namespace qoz::host

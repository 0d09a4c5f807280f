#include "platform/host/gdi32/rect_region.h"

#include <algorithm>

namespace qoz::host {

RECT MakeRect(LONG left, LONG top, LONG width, LONG height) {
    return RECT{left, top, left + width, top + height};
}

bool IsEmptyRect(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

bool RectContains(const RECT& rect, LONG x, LONG y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

RECT IntersectRects(const RECT& a, const RECT& b) {
    RECT result{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    if (IsEmptyRect(result)) return RECT{0, 0, 0, 0};
    return result;
}

RECT BoundingUnion(const RECT& a, const RECT& b) {
    if (IsEmptyRect(a)) return b;
    if (IsEmptyRect(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

RECT OffsetRect(const RECT& rect, LONG dx, LONG dy) {
    return RECT{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

Region SubtractRect(const Region& region, const RECT& hole) {
    Region result;
    for (const RECT& part : region) {
        RECT overlap = IntersectRects(part, hole);
        if (IsEmptyRect(overlap)) {
            result.push_back(part);
            continue;
        }
        // Up to four pieces remain: the bands above and below the hole, and
        // the pieces left and right of it within the hole's rows.
        RECT above{part.left, part.top, part.right, overlap.top};
        RECT below{part.left, overlap.bottom, part.right, part.bottom};
        RECT left{part.left, overlap.top, overlap.left, overlap.bottom};
        RECT right{overlap.right, overlap.top, part.right, overlap.bottom};
        for (const RECT& piece : {above, below, left, right})
            if (!IsEmptyRect(piece)) result.push_back(piece);
    }
    return result;
}

Region IntersectRegion(const Region& region, const RECT& clip) {
    Region result;
    for (const RECT& part : region) {
        RECT overlap = IntersectRects(part, clip);
        if (!IsEmptyRect(overlap)) result.push_back(overlap);
    }
    return result;
}

bool RegionContains(const Region& region, LONG x, LONG y) {
    return std::any_of(region.begin(), region.end(),
                       [&](const RECT& part) { return RectContains(part, x, y); });
}

RECT RegionBounds(const Region& region) {
    RECT bounds{0, 0, 0, 0};
    for (const RECT& part : region) bounds = BoundingUnion(bounds, part);
    return bounds;
}

}  // namespace qoz::host

// Rectangle arithmetic for the window system. A RECT here is half-open:
// left and top are inside, right and bottom are not. A Region is a set of
// pixels kept as non-overlapping rectangles.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace qoz::host {

using Region = std::vector<RECT>;

RECT MakeRect(LONG left, LONG top, LONG width, LONG height);
bool IsEmptyRect(const RECT& rect);
bool RectContains(const RECT& rect, LONG x, LONG y);
RECT IntersectRects(const RECT& a, const RECT& b);
// The smallest rectangle holding both; an empty one does not count.
RECT BoundingUnion(const RECT& a, const RECT& b);
RECT OffsetRect(const RECT& rect, LONG dx, LONG dy);

Region SubtractRect(const Region& region, const RECT& hole);
Region IntersectRegion(const Region& region, const RECT& clip);
bool RegionContains(const Region& region, LONG x, LONG y);
// Empty when the region is.
RECT RegionBounds(const Region& region);

}  // namespace qoz::host

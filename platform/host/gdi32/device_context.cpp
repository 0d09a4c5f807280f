#include "platform/host/gdi32/device_context.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/host/gdi32/stock_objects.h"
#include "platform/host/kernel32/handle_table.h"
#include "platform/host/gdi32/screen.h"

namespace qoz::host {

namespace {

struct DeviceContext {
    HWND window = nullptr;
    POINT origin{0, 0};  // the client area's top-left on the screen
    Region clip;         // screen coordinates
};

// GDI's coordinate range; it keeps the line arithmetic within 64 bits.
constexpr LONG kLargestCoordinate = 1 << 27;

// A context given back frees its slot for the next one.
HandleTable<HDC, DeviceContext, SlotReuse::AfterClose> contexts(HandleKind::DeviceContext);

DeviceContext* LookUpDc(HDC dc) { return contexts.Find(dc); }

// Whether every pixel between the two points (client coordinates) lies in
// one rectangle of the clip, so that none of them needs testing on its own.
bool InsideOneClipRect(const DeviceContext& context, POINT from, POINT to) {
    const int64_t left = std::min(from.x, to.x) + int64_t(context.origin.x);
    const int64_t right = std::max(from.x, to.x) + int64_t(context.origin.x);
    const int64_t top = std::min(from.y, to.y) + int64_t(context.origin.y);
    const int64_t bottom = std::max(from.y, to.y) + int64_t(context.origin.y);
    return std::any_of(context.clip.begin(), context.clip.end(), [&](const RECT& part) {
        return part.left <= left && right < part.right && part.top <= top && bottom < part.bottom;
    });
}

// One segment with the pen: every pixel from the start on, the end point
// excluded. Only the steps whose major coordinate lies within the clip's
// bounds are visited, so far-off segments cost nothing.
void DrawSegment(const DeviceContext& context, const RECT& bounds, POINT from, POINT to) {
    const int64_t dx = int64_t(to.x) - from.x;
    const int64_t dy = int64_t(to.y) - from.y;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int64_t majorDelta = xMajor ? dx : dy;
    const int64_t minorDelta = xMajor ? dy : dx;
    const int64_t steps = std::llabs(majorDelta);
    if (steps == 0) return;
    const int64_t majorStep = majorDelta > 0 ? 1 : -1;
    const int64_t minorStep = minorDelta > 0 ? 1 : (minorDelta < 0 ? -1 : 0);
    const int64_t minorRun = std::llabs(minorDelta);
    const int64_t majorStart = xMajor ? from.x : from.y;
    const int64_t minorStart = xMajor ? from.y : from.x;
    const int64_t low = xMajor ? bounds.left : bounds.top;
    const int64_t high = (xMajor ? bounds.right : bounds.bottom) - 1;

    int64_t first = majorStep > 0 ? low - majorStart : majorStart - high;
    int64_t last = majorStep > 0 ? high - majorStart : majorStart - low;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, steps - 1);
    if (first > last) return;

    // Step i's minor coordinate is minorStart + minorStep * (2 i minorRun +
    // steps) / (2 steps): rounded to the nearest pixel, halves away from the
    // start. The quotient grows by at most one a step, so it is carried along
    // with its remainder instead of divided out for every pixel.
    const int64_t denominator = 2 * steps;
    const int64_t numerator = 2 * first * minorRun + steps;
    int64_t minorOffset = numerator / denominator;
    int64_t remainder = numerator % denominator;
    const bool unclipped = InsideOneClipRect(context, from, to);
    std::vector<uint32_t>& pixels = MutableScreenPixels();
    const size_t width = size_t(ScreenWidth());
    for (int64_t i = first; i <= last; ++i) {
        const int64_t minor = minorStart + minorStep * minorOffset;
        const int64_t major = majorStart + majorStep * i;
        const LONG x = LONG((xMajor ? major : minor) + context.origin.x);
        const LONG y = LONG((xMajor ? minor : major) + context.origin.y);
        if (unclipped || RegionContains(context.clip, x, y))
            pixels[size_t(y) * width + size_t(x)] = kBlack;
        remainder += 2 * minorRun;
        if (remainder >= denominator) {
            remainder -= denominator;
            ++minorOffset;
        }
    }
}

bool InCoordinateRange(const POINT& point) {
    return std::abs(point.x) <= kLargestCoordinate && std::abs(point.y) <= kLargestCoordinate;
}

uint32_t Mix(uint32_t background, uint32_t colour, unsigned coverage) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int from = int((background >> shift) & 0xFF);
        int to = int((colour >> shift) & 0xFF);
        result |= uint32_t(from + (to - from) * int(coverage) / 255) << shift;
    }
    return result;
}

}  // namespace

HDC OpenDc(HWND window, POINT origin, Region clip) {
    return contexts.Add(DeviceContext{window, origin, std::move(clip)});
}

bool CloseDc(HDC dc, HWND window) {
    DeviceContext* context = LookUpDc(dc);
    if (!context || context->window != window) return false;
    return contexts.Close(dc).has_value();
}

void FillScreenRegion(const Region& region, uint32_t colour) {
    for (const RECT& part : IntersectRegion(region, ScreenRect())) FillScreenRect(part, colour);
}

bool FillDcRect(HDC dc, const RECT& rect, uint32_t colour) {
    DeviceContext* context = LookUpDc(dc);
    if (!context) return false;
    RECT onScreen = OffsetRect(rect, context->origin.x, context->origin.y);
    FillScreenRegion(IntersectRegion(context->clip, onScreen), colour);
    return true;
}

bool BlendDcPixel(HDC dc, int x, int y, uint32_t colour, unsigned coverage) {
    DeviceContext* context = LookUpDc(dc);
    if (!context) return false;
    LONG screenX = x + context->origin.x;
    LONG screenY = y + context->origin.y;
    if (!RegionContains(context->clip, screenX, screenY)) return true;
    uint32_t& pixel =
        MutableScreenPixels()[size_t(screenY) * size_t(ScreenWidth()) + size_t(screenX)];
    pixel = Mix(pixel, colour, std::min(coverage, 255u));
    return true;
}

void ResetDeviceContexts() { contexts.Clear(); }

}  // namespace qoz::host

using namespace qoz::host;

// Polyline (gdi32)
BOOL Polyline(HDC dc, const POINT* points, int count) {
    DeviceContext* context = LookUpDc(dc);
    if (!context || !points || count < 2) return FALSE;
    for (int i = 0; i < count; ++i)
        if (!InCoordinateRange(points[i])) return FALSE;
    RECT bounds = OffsetRect(RegionBounds(context->clip), -context->origin.x, -context->origin.y);
    if (IsEmptyRect(bounds)) return TRUE;
    for (int i = 0; i + 1 < count; ++i) DrawSegment(*context, bounds, points[i], points[i + 1]);
    return TRUE;
}

// Device contexts: a window's client area on the screen framebuffer, clipped
// to a region, and what can be drawn through one.
#pragma once

#include <cstdint>

#include "platform/host/gdi32/rect_region.h"
#include "platform/platform.h"

namespace qoz::host {

// Hands out a context for drawing in a window whose client area starts at
// origin on the screen; clip is in screen coordinates. Null when too many
// are out.
HDC OpenDc(HWND window, POINT origin, Region clip);
// Gives back a context handed out for that window; false for any other.
bool CloseDc(HDC dc, HWND window);

// Fills screen pixels directly, cut to the screen.
void FillScreenRegion(const Region& region, uint32_t colour);

// For class procedures that draw their own look: client coordinates,
// clipped as Polyline is. False for a device context not handed out.
bool FillDcRect(HDC dc, const RECT& rect, uint32_t colour);
// Mixes colour into the pixel by coverage, 0 (none) to 255 (all).
bool BlendDcPixel(HDC dc, int x, int y, uint32_t colour, unsigned coverage);

void ResetDeviceContexts();

}  // namespace qoz::host

// Drawing into the screen framebuffer: the device contexts that BeginPaint
// hands out, the stock brushes, and what the host draws itself (the desktop
// behind the windows and their borders).
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"
#include "rect_region.h"
#include "window_table.h"

namespace qoz::host {

inline constexpr uint32_t kBlack = 0x00000000;
inline constexpr uint32_t kWhite = 0x00FFFFFF;

// The colour of a stock brush; empty for anything that is not one.
std::optional<uint32_t> BrushColour(HBRUSH brush);

void PaintDesktop(const RECT& screenArea);
void PaintBorder(const Window& window, const RECT& screenArea);

// For class procedures that draw their own look: client coordinates,
// clipped as Polyline is. False for a device context not handed out.
bool FillDcRect(HDC dc, const RECT& rect, uint32_t colour);
// Mixes colour into the pixel by coverage, 0 (none) to 255 (all).
bool BlendDcPixel(HDC dc, int x, int y, uint32_t colour, unsigned coverage);

void ResetPainting();

}  // namespace qoz::host

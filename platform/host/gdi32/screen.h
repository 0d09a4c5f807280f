// The simulated screen's framebuffer, which gdi32 and user32 draw into and a
// display shows.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace qoz::host {

inline constexpr uint32_t kDesktopColour = 0x00408080;

// The simulated screen, 240 x 320 unless set before the program starts.
void SetScreenSize(int width, int height);
int ScreenWidth();
int ScreenHeight();

// The screen's pixels, 0x00RRGGBB, row by row, ScreenWidth() x ScreenHeight().
const std::vector<uint32_t>& ScreenPixels();
// Changes whenever the pixels may have changed: a display redraws only then.
uint64_t ScreenVersion();

// For what draws: the pixels to change; the version moves on.
std::vector<uint32_t>& MutableScreenPixels();
// Fills a rectangle that lies on the screen with one colour.
void FillScreenRect(const RECT& rect, uint32_t colour);
RECT ScreenRect();
// Back to an empty 240 x 320 desktop.
void ResetScreen();

}  // namespace qoz::host

// How the SDL window's mouse, touch and keyboard input becomes the simulated
// device's pen positions and virtual keys.
#pragma once

#include <SDL.h>

#include <optional>

#include "platform/platform.h"

namespace qoz::sim {

// A window pixel at `zoom` to a screen pixel; positions beyond the window
// (the mouse is captured while its button is down) stick to the screen's
// edge, as a touch panel reports nothing beyond itself.
int ScreenFromWindow(int windowPixel, int zoom, int screenSize);

// A touch position, 0.0 to 1.0 across the window, to a screen pixel.
int ScreenFromTouch(float fraction, int screenSize);

// Letters, digits, space, return and escape map to their virtual keys; other
// printable keys to their upper-case character; the rest to nothing.
std::optional<UINT> VirtualKeyFromSdl(SDL_Keycode key);

}  // namespace qoz::sim

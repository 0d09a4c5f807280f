// The window's title under X11 as every tool reads it.
#pragma once

#include <SDL.h>

#include <string>

namespace qoz::sim {

// SDL gives X11's older WM_NAME property the title's UTF-8 bytes as a Latin-1
// STRING, which tools that read WM_NAME show garbled beyond ASCII. Sets it
// again as a UTF8_STRING, like _NET_WM_NAME; a window not on X11 is left.
void SetX11WindowName(SDL_Window* window, const std::string& title);

}  // namespace qoz::sim

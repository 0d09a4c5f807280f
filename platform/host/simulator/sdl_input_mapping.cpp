#include "platform/host/simulator/sdl_input_mapping.h"

#include <algorithm>
#include <cmath>

namespace qoz::sim {

int ScreenFromWindow(int windowPixel, int zoom, int screenSize) {
    int pixel = windowPixel >= 0 ? windowPixel / zoom : -((-windowPixel + zoom - 1) / zoom);
    return std::clamp(pixel, 0, screenSize - 1);
}

int ScreenFromTouch(float fraction, int screenSize) {
    double pixel = std::floor(double(fraction) * screenSize);
    return int(std::clamp(pixel, 0.0, double(screenSize - 1)));
}

std::optional<UINT> VirtualKeyFromSdl(SDL_Keycode key) {
    if (key == SDLK_RETURN || key == SDLK_KP_ENTER) return VK_RETURN;
    if (key == SDLK_ESCAPE) return VK_ESCAPE;
    if (key == SDLK_SPACE) return VK_SPACE;
    if (key >= SDLK_a && key <= SDLK_z) return UINT('A' + (key - SDLK_a));
    if (key > 0x20 && key < 0x7F) {
        char c = char(key);
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        return UINT(c);
    }
    return std::nullopt;
}

}  // namespace qoz::sim

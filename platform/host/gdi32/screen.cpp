#include "platform/host/gdi32/screen.h"

#include <algorithm>

namespace qoz::host {

namespace {

constexpr int kDefaultWidth = 240;
constexpr int kDefaultHeight = 320;
constexpr int kLargestSide = 16384;

int width = kDefaultWidth;
int height = kDefaultHeight;
std::vector<uint32_t> pixels(size_t(kDefaultWidth) * kDefaultHeight, kDesktopColour);
// Every writer takes the pixels through MutableScreenPixels.
uint64_t version = 0;

}  // namespace

void SetScreenSize(int newWidth, int newHeight) {
    width = std::clamp(newWidth, 1, kLargestSide);
    height = std::clamp(newHeight, 1, kLargestSide);
    pixels.assign(size_t(width) * size_t(height), kDesktopColour);
    ++version;
}

int ScreenWidth() { return width; }
int ScreenHeight() { return height; }

const std::vector<uint32_t>& ScreenPixels() { return pixels; }
std::vector<uint32_t>& MutableScreenPixels() {
    ++version;
    return pixels;
}
uint64_t ScreenVersion() { return version; }

RECT ScreenRect() { return RECT{0, 0, width, height}; }

void ResetScreen() { SetScreenSize(kDefaultWidth, kDefaultHeight); }

}  // namespace qoz::host

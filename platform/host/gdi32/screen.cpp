#include "platform/host/gdi32/screen.h"

#include <algorithm>
#include <cstring>

namespace qoz::host {

namespace {

constexpr int kDefaultWidth = 240;
constexpr int kDefaultHeight = 320;
constexpr int kLargestSide = 16384;

int width = kDefaultWidth;
int height = kDefaultHeight;
std::vector<uint32_t> pixels;
// Every writer takes the pixels through MutableScreenPixels.
uint64_t version = 0;

}  // namespace

void SetScreenSize(int newWidth, int newHeight) {
    width = std::clamp(newWidth, 1, kLargestSide);
    height = std::clamp(newHeight, 1, kLargestSide);
    pixels.resize(size_t(width) * size_t(height));
    FillScreenRect(ScreenRect(), kDesktopColour);
}

int ScreenWidth() { return width; }
int ScreenHeight() { return height; }

const std::vector<uint32_t>& ScreenPixels() {
    if (pixels.empty()) ResetScreen();
    return pixels;
}
std::vector<uint32_t>& MutableScreenPixels() {
    if (pixels.empty()) ResetScreen();
    ++version;
    return pixels;
}

// The first row pixel by pixel, the others as copies of it.
void FillScreenRect(const RECT& rect, uint32_t colour) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    uint32_t* first = MutableScreenPixels().data() + size_t(rect.top) * size_t(width) + rect.left;
    const size_t columns = size_t(rect.right - rect.left);
    std::fill_n(first, columns, colour);
    for (LONG row = 1; row < rect.bottom - rect.top; ++row)
        std::memcpy(first + size_t(row) * size_t(width), first, columns * sizeof *first);
}
uint64_t ScreenVersion() { return version; }

RECT ScreenRect() { return RECT{0, 0, width, height}; }

void ResetScreen() { SetScreenSize(kDefaultWidth, kDefaultHeight); }

}  // namespace qoz::host

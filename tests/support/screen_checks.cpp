#include "tests/support/screen_checks.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

std::string Hex(uint32_t pixel) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", pixel);
    return text;
}

}  // namespace

PngImage Shot(const ScratchEnvironment& scratch, const std::string& name) {
    return ReadPng(scratch.dir() / name).value_or(PngImage{});
}

PixelSet TargetMark(int x, int y) {
    PixelSet pixels;
    for (int i = 0; i < 10; ++i) {
        pixels.insert(FromClient(x - 5 + i, y - 5 + i));
        pixels.insert(FromClient(x + 5 - i, y - 5 + i));
    }
    return pixels;
}

PixelSet StraightLine(Pixel from, Pixel to) {
    PixelSet pixels;
    int dx = (to.first > from.first) - (to.first < from.first);
    int dy = (to.second > from.second) - (to.second < from.second);
    for (Pixel at = from; at != to; at = {at.first + dx, at.second + dy}) pixels.insert(at);
    return pixels;
}

std::string ClientDifferences(const PngImage& image, const PixelSet& blackPixels,
                              const std::vector<Area>& skip) {
    if (image.width == 0) return "no screenshot";
    std::ostringstream differences;
    int count = 0;
    int right = std::min(238, image.width - 1), bottom = std::min(318, image.height - 1);
    for (int y = 1; y <= bottom; ++y)
        for (int x = 1; x <= right; ++x) {
            if (std::any_of(skip.begin(), skip.end(),
                            [&](const Area& area) { return area.Contains(x, y); }))
                continue;
            uint32_t expected = blackPixels.count({x, y}) != 0 ? black : white;
            if (image.At(x, y) == expected) continue;
            if (count++ < 12)
                differences << "(" << x << "," << y << ") is " << Hex(image.At(x, y)) << " not "
                            << Hex(expected) << "; ";
        }
    if (count > 12) differences << "and " << count - 12 << " more";
    return differences.str();
}

std::string AreaDifferences(const PngImage& image, const PngImage& reference, Area area) {
    if (image.width == 0 || reference.width == 0) return "no screenshot";
    int count = 0;
    for (int y = area.top; y <= area.bottom; ++y)
        for (int x = area.left; x <= area.right; ++x)
            if (image.At(x, y) != reference.At(x, y)) ++count;
    return count == 0 ? "" : std::to_string(count) + " pixels differ";
}

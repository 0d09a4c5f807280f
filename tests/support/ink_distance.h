// How far the ink on a screenshot lies from where the pen went: the pen's
// path is a polyline in screen pixels, the ink the black pixels of the main
// window's client area.
#pragma once

#include <vector>

#include "tests/support/png_image.h"
#include "tests/support/screen_checks.h"

using PenPath = std::vector<Pixel>;

// The black pixels of the client area, leaving out `skip`.
PixelSet InkPixels(const PngImage& image, const std::vector<Area>& skip = {});

// The distance in pixels from (x, y) to the nearest point of `path`.
double DistanceToPath(double x, double y, const PenPath& path);

struct InkDistances {
    size_t inkPixels = 0;
    double nearest = 0;   // the ink pixel closest to the pen's path
    double farthest = 0;  // the ink pixel farthest from it
};

InkDistances MeasureInk(const PixelSet& ink, const PenPath& path);

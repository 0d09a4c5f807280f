// Checks on screenshots of the simulated screen: which pixels of the main
// window's client area are black, and whether two images agree.
#pragma once

#include <string>
#include <vector>

#include "tests/support/pixels.h"
#include "tests/support/png_image.h"
#include "tests/support/scratch_environment.h"

// The screenshot NAME that a run wrote in the scratch folder; an empty image
// if there is none.
PngImage Shot(const ScratchEnvironment& scratch, const std::string& name);

struct Area {
    int left, top, right, bottom;  // screen pixels, inclusive
    bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// The three buttons together, in screen pixels, as far as the client area
// shows them on a 240-pixel-wide window.
constexpr Area buttonsArea{101, 2, 238, 31};

// A client position of the main window as a screen pixel.
inline Pixel FromClient(int x, int y) { return {x + 1, y + 1}; }

// The X mark of a target at client (x, y): two 11-pixel diagonals without
// their last points.
PixelSet TargetMark(int x, int y);

// The pixels of a horizontal or vertical line from `from` up to, but not
// including, `to`, as the default pen draws it.
PixelSet StraightLine(Pixel from, Pixel to);

// Compares the main window's client area (screen 1..238 x 1..318, clipped to
// the image) with "white except `blackPixels`", skipping `skip`. Empty when it
// matches, else a description of the first differences.
std::string ClientDifferences(const PngImage& image, const PixelSet& blackPixels,
                              const std::vector<Area>& skip = {});

// Empty when `area` holds the same pixels in both images.
std::string AreaDifferences(const PngImage& image, const PngImage& reference, Area area);

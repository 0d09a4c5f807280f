// The two fits other calibration tools make from the same taps, written from
// their published descriptions, to set qozcal's per-axis scale and offset
// beside: a least-squares affine fit over all five taps, and a per-axis
// scaling from the four corner taps.
#pragma once

#include <array>

namespace qoz::bench {

// One calibration tap: the panel's reading (panel units) and the screen
// pixel of the mark that was tapped.
struct Tap {
    double readingX = 0, readingY = 0;
    double markX = 0, markY = 0;
};

// The taps in the program's order: top-left, top-right, bottom-right,
// bottom-left, centre.
using Taps = std::array<Tap, 5>;

// screen x = xa * reading x + xb * reading y + xc, and likewise for y.
struct ReadingToScreen {
    double xa = 0, xb = 0, xc = 0;
    double ya = 0, yb = 0, yc = 0;

    void Apply(double readingX, double readingY, double& x, double& y) const {
        x = xa * readingX + xb * readingY + xc;
        y = ya * readingX + yb * readingY + yc;
    }
};

// Each screen coordinate as a + b·x_raw + c·y_raw, the coefficients chosen
// by least squares over all five taps. False when the taps are degenerate.
bool FitAffine(const Taps& taps, ReadingToScreen& fit);

// Each axis on its own: the readings of the two left (right, top, bottom)
// corner taps averaged, and the line through those averages and the marks'
// positions. False when an axis has no span.
bool FitPerAxisFromCorners(const Taps& taps, ReadingToScreen& fit);

}  // namespace qoz::bench

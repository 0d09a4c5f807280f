// How well a calibration tapped through a misaligned touch panel puts the
// ink under the pen: the program runs in this process behind the simulated
// panel and the reference driver, is calibrated at its marks, and a grid of
// test touches is delivered before and after; the two peer fits and an exact
// inverse of the panel are judged on the same readings.
#pragma once

#include <string>
#include <vector>

#include "platform/host/simulator/touch_panel.h"

namespace qoz::bench {

struct PanelCase {
    std::string name;
    sim::PanelModel panel;
    int width = 240, height = 320;
};

// Distances in pixels from each test touch to where it is delivered.
struct Residual {
    double mean = 0, worst = 0;
};

// A test touch (screen pixel) and the pixel its ink lands on.
struct Arrow {
    double fromX = 0, fromY = 0, toX = 0, toY = 0;
};

struct AccuracyResult {
    std::string error;    // empty when the measurement ran
    int tapsSampled = 0;  // taps the program took; 5 when the calibration ended
    bool calibrated = false;
    Residual before;   // the driver with the settings a fresh device has
    Residual after;    // the driver with the settings the calibration published
    Residual affine;   // least squares over the five taps
    Residual perAxis;  // per-axis scaling from the four corners
    Residual limit;    // the panel undone exactly: what noise and rounding leave
    std::vector<Arrow> beforeArrows, afterArrows;
};

// The test touches: 7 along the screen's longer side, 5 along the shorter,
// from 8 % to 92 % of each (the example panels read beyond the glass' edge
// farther out, where no fit can help).
struct Touch {
    int x = 0, y = 0;  // screen pixels
};
std::vector<Touch> TestTouches(int width, int height);

AccuracyResult MeasureAccuracy(const PanelCase& panelCase);

}  // namespace qoz::bench

// The simulated touch panel: a pen at a physical screen position, read the
// way a misaligned resistive panel reads it, in the panel's own units (0 to
// 1023 across the screen on each axis).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace qoz::sim {

// How the panel is off, as `--panel` spells it:
// dx=12,dy=-9,sx=1.06,sy=0.95[,rot=DEG][,noise=PX][,seed=N]
// Measured from the screen's centre c, a pen at p reads (p - c) * s + d,
// turned by the rotation about c: the gain stretches the reading about the
// middle of the glass, so a modest gain keeps the 10 % and 90 % marks on it.
struct PanelModel {
    double dx = 0, dy = 0;  // pixels
    double sx = 1, sy = 1;
    double rotationDegrees = 0;  // about the screen's centre
    double noisePixels = 0;      // standard deviation of the Gaussian noise
    uint32_t seed = 1;
};

// Parses the `--panel` value; on failure `error` says what is wrong.
bool ParsePanelModel(std::string_view text, PanelModel& model, std::string& error);

constexpr int panelUnits = 1024;  // readings run 0 to panelUnits - 1

struct PanelReading {
    int x = 0, y = 0;  // panel units
};

class TouchPanel {
public:
    TouchPanel(const PanelModel& model, int screenWidth, int screenHeight);

    // Where the panel believes a pen at physical screen pixel (x, y) is,
    // before noise and before it is turned into panel units.
    void Misplace(double x, double y, double& readX, double& readY) const;

    // One reading of a pen at physical screen pixel (x, y): misplaced, with
    // fresh noise, in panel units, clamped to the panel's range.
    PanelReading Read(double x, double y);

private:
    PanelModel model_;
    int width_, height_;
    double cosine_, sine_;
    std::mt19937 generator_;
    std::normal_distribution<double> noise_;
};

}  // namespace qoz::sim

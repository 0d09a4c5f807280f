#include "bench/accuracy.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>

#include "app/calibration_mode.h"
#include "bench/peer_fits.h"
#include "calibration/tap_sampling.h"
#include "calibration/targets.h"
#include "platform/host/simulator/panel_input.h"
#include "platform/host/user32/window_table.h"
#include "tests/support/program_session.h"
#include "tests/support/scratch_environment.h"

namespace qoz::bench {

namespace {

using host::PenAction;
using host::RawInput;

// The finger: pen reports queued by the caller, each taken once.
class Finger final : public host::InputSource {
public:
    void Press(PenAction action, int x, int y) { pending_.push_back(RawInput::Pen(action, x, y)); }
    std::optional<RawInput> PollInput() override { return Next(); }
    std::optional<RawInput> WaitInput() override { return Next(); }

private:
    std::optional<RawInput> Next() {
        if (pending_.empty()) return std::nullopt;
        RawInput input = pending_.front();
        pending_.pop_front();
        return input;
    }
    std::deque<RawInput> pending_;
};

// The middle of the Calibration button on the screen.
constexpr int buttonX = 200, buttonY = 17;

// Where the finger must go for the driver, as it is now, to deliver the
// button's middle (without noise): the pixel whose delivery comes closest.
host::RawInput ButtonPress(const sim::PanelModel& model, sim::ReferenceDriver& driver, int width,
                           int height) {
    sim::PanelModel quiet = model;
    quiet.noisePixels = 0;
    sim::TouchPanel panel(quiet, width, height);
    RawInput best = RawInput::Pen(PenAction::Down, buttonX, buttonY);
    long bestDistance = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            POINT delivered = driver.Deliver(panel.Read(x, y));
            long distance = (delivered.x - buttonX) * (delivered.x - buttonX) +
                            (delivered.y - buttonY) * (delivered.y - buttonY);
            if (bestDistance < 0 || distance < bestDistance) {
                bestDistance = distance;
                best.x = x;
                best.y = y;
            }
        }
    }
    return best;
}

// A pixel kept on the screen, as the driver delivers it.
double OnScreen(double pixel, int size) {
    return std::clamp(std::round(pixel), 0.0, double(size - 1));
}

// The panel's misplacement undone exactly on a reading: what is left is the
// reading's noise and the roundings to panel units and to a pixel.
void UndoPanel(const sim::PanelModel& model, int width, int height, sim::PanelReading reading,
               double& x, double& y) {
    double angle = model.rotationDegrees * std::numbers::pi / 180;
    double u = reading.x * double(width) / sim::panelUnits - width / 2.0;
    double v = reading.y * double(height) / sim::panelUnits - height / 2.0;
    double scaledX = u * std::cos(angle) + v * std::sin(angle);
    double scaledY = -u * std::sin(angle) + v * std::cos(angle);
    x = OnScreen(width / 2.0 + (scaledX - model.dx) / model.sx, width);
    y = OnScreen(height / 2.0 + (scaledY - model.dy) / model.sy, height);
}

Residual Summarize(const std::vector<Arrow>& arrows) {
    Residual residual;
    for (const Arrow& arrow : arrows) {
        double distance = std::hypot(arrow.toX - arrow.fromX, arrow.toY - arrow.fromY);
        residual.mean += distance / double(arrows.size());
        residual.worst = std::max(residual.worst, distance);
    }
    return residual;
}

}  // namespace

std::vector<Touch> TestTouches(int width, int height) {
    int columns = width >= height ? 7 : 5, rows = width >= height ? 5 : 7;
    std::vector<Touch> touches;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            touches.push_back({int(std::lround(width * (0.08 + 0.84 * column / (columns - 1)))),
                               int(std::lround(height * (0.08 + 0.84 * row / (rows - 1))))});
    return touches;
}

AccuracyResult MeasureAccuracy(const PanelCase& panelCase) {
    const int width = panelCase.width, height = panelCase.height;
    AccuracyResult result;
    ScratchEnvironment scratch;
    HWND window = StartProgramInProcess(width, height);
    if (window == nullptr) {
        result.error = "the program did not start";
        return result;
    }
    Finger finger;
    sim::PanelInput input(finger, panelCase.panel, width, height);
    host::SetInputSource(&input);
    RunLoopUntilIdle();
    auto press = [&](PenAction action, int x, int y) {
        finger.Press(action, x, y);
        RunLoopUntilIdle();
    };

    // The test touches' readings, delivered as a fresh device does.
    std::vector<Touch> touches = TestTouches(width, height);
    std::vector<sim::PanelReading> readings;
    for (const Touch& touch : touches) {
        readings.push_back(input.Panel().Read(touch.x, touch.y));
        POINT delivered = input.Driver().Deliver(readings.back());
        result.beforeArrows.push_back(
            {double(touch.x), double(touch.y), double(delivered.x), double(delivered.y)});
    }

    // The Calibration button, then a tap on each mark, as the user sees them.
    RawInput button = ButtonPress(panelCase.panel, input.Driver(), width, height);
    press(PenAction::Down, button.x, button.y);
    press(PenAction::Up, button.x, button.y);
    if (calibrating != 1) {
        result.error = "the Calibration button was not reached";
        host::SetInputSource(nullptr);
        return result;
    }
    POINT origin = host::ClientOrigin(*host::LookUpWindow(window));
    Taps taps;
    for (int mark = 0; mark < TARGET_COUNT; ++mark) {
        int x = int(std::lround(origin.x + targetX[mark]));
        int y = int(std::lround(origin.y + targetY[mark]));
        press(PenAction::Down, x, y);
        sim::PanelReading reading = input.LastReading();
        taps[size_t(mark)] = {double(reading.x), double(reading.y), double(x), double(y)};
        press(PenAction::Up, x, y);
    }
    result.calibrated = calibrating == 0;
    result.tapsSampled = result.calibrated ? TARGET_COUNT : sampleIndex;
    host::SetInputSource(nullptr);

    // The driver takes the end event before its next report.
    input.Driver().TakeEvents();
    ReadingToScreen affine, perAxis;
    bool affineFitted = FitAffine(taps, affine),
         perAxisFitted = FitPerAxisFromCorners(taps, perAxis);
    std::vector<Arrow> throughAffine, throughPerAxis, throughExactInverse;
    for (size_t i = 0; i < touches.size(); ++i) {
        const double x = touches[i].x, y = touches[i].y;
        if (result.calibrated) {
            POINT delivered = input.Driver().Deliver(readings[i]);
            result.afterArrows.push_back({x, y, double(delivered.x), double(delivered.y)});
        }
        double fittedX = 0, fittedY = 0;
        affine.Apply(readings[i].x, readings[i].y, fittedX, fittedY);
        throughAffine.push_back({x, y, OnScreen(fittedX, width), OnScreen(fittedY, height)});
        perAxis.Apply(readings[i].x, readings[i].y, fittedX, fittedY);
        throughPerAxis.push_back({x, y, OnScreen(fittedX, width), OnScreen(fittedY, height)});
        UndoPanel(panelCase.panel, width, height, readings[i], fittedX, fittedY);
        throughExactInverse.push_back({x, y, fittedX, fittedY});
    }
    result.before = Summarize(result.beforeArrows);
    result.after = Summarize(result.afterArrows);
    if (!affineFitted || !perAxisFitted) result.error = "the taps were degenerate";
    result.affine = Summarize(throughAffine);
    result.perAxis = Summarize(throughPerAxis);
    result.limit = Summarize(throughExactInverse);
    return result;
}

}  // namespace qoz::bench

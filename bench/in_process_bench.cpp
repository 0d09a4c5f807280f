// The program's own work, measured inside this process: a pen move at the
// end of the longest stroke the pad draws, one calibration tap, one settings
// write, and their baseline, a message round trip that does nothing.
#include <benchmark/benchmark.h>

#include "app/main_window.h"
#include "calibration/stroke_buffer.h"
#include "calibration/tap_sampling.h"
#include "calibration/targets.h"
#include "platform/host/shell.h"
#include "platform/host/user32/window_system.h"
#include "platform/host/user32/window_table.h"
#include "settings/settings_store.h"
#include "tests/support/program_session.h"
#include "tests/support/scratch_environment.h"

namespace {

// The first message number free for a program's own use (WM_USER).
constexpr UINT kOwnMessage = 0x0400;

LRESULT CALLBACK EmptyProcedure(HWND, UINT, WPARAM, LPARAM) { return 0; }

void BM_EmptyMessageRoundTrip(benchmark::State& state) {
    qoz::host::ResetWindowSystemForTesting();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = EmptyProcedure;
    windowClass.lpszClassName = TEXT("qozcal-bench-empty");
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, TEXT("qozcal-bench-empty"), TEXT(""), 0, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
    if (window == nullptr) {
        state.SkipWithError("the window was not created");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(SendMessageW(window, kOwnMessage, 0, 0));
}
BENCHMARK(BM_EmptyMessageRoundTrip)->UseRealTime();

// The pen's positions, from the pen-down on, `step` pixels apart along rows
// that wind across the pad: a pen moving over a 200 Hz panel reports a few
// pixels apart when writing, some 20 apart in a fast flick (about 1 m/s on a
// screen of this size). With no step every segment instead runs from one
// corner of the pad to the opposite one, the most pixels a segment draws.
LPARAM StrokePosition(int point, int step) {
    if (step == 0) return point % 2 == 0 ? MAKELPARAM(5, 40) : MAKELPARAM(232, 312);
    constexpr int kRowLength = 200;
    int travelled = point * step;
    int along = travelled % (2 * kRowLength);
    int x = 20 + (along < kRowLength ? along : 2 * kRowLength - along);
    return MAKELPARAM(x, 60 + 3 * (travelled / kRowLength));
}

// The stroke ring holds 256 positions; the pad draws up to 255 of them, and
// does so after the move that writes the last entry.
constexpr int kStrokePoints = STROKE_CAPACITY;

void PenMoveInFullStroke(benchmark::State& state, int step) {
    ScratchEnvironment scratch;
    HWND window = StartProgramInProcess();
    if (window == nullptr) {
        state.SkipWithError("the program did not start");
        return;
    }
    RunLoopUntilIdle();  // the first paint
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, StrokePosition(0, step));
    for (int point = 1; point < kStrokePoints - 1; ++point)
        SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, StrokePosition(point, step));
    RunLoopUntilIdle();
    const LPARAM last = StrokePosition(kStrokePoints - 1, step);
    for (auto _ : state) {
        // Every timed move is the one that completes the 255-point line.
        strokeIndex = kStrokePoints - 2;
        SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, last);
        RunLoopUntilIdle();
    }
    if (strokeLength != kStrokePoints - 1)
        state.SkipWithError("the stroke was not 255 points long");
    // The segment into the last point starts on the point before it.
    LPARAM before = StrokePosition(kStrokePoints - 2, step);
    POINT origin = qoz::host::ClientOrigin(*qoz::host::LookUpWindow(window));
    size_t pixel = size_t(origin.y + HIWORD(before)) * size_t(qoz::host::ScreenWidth()) +
                   size_t(origin.x + LOWORD(before));
    if (qoz::host::ScreenPixels()[pixel] != 0) state.SkipWithError("the stroke was not drawn");
}

void BM_PenMoveInFullStroke(benchmark::State& state) { PenMoveInFullStroke(state, 2); }
BENCHMARK(BM_PenMoveInFullStroke)->UseRealTime();

void BM_PenMoveInFullFastStroke(benchmark::State& state) { PenMoveInFullStroke(state, 20); }
BENCHMARK(BM_PenMoveInFullFastStroke)->UseRealTime();

void BM_PenMoveInFullStrokeAcrossThePad(benchmark::State& state) { PenMoveInFullStroke(state, 0); }
BENCHMARK(BM_PenMoveInFullStrokeAcrossThePad)->UseRealTime();

// One tap at a target in calibration mode: pen-down, pen-up, the sample,
// the pause (free on the virtual clock) and the repaint of the next mark.
// Only taps 1 to 4 are timed; the fifth, which publishes, is another figure.
void BM_CalibrationTap(benchmark::State& state) {
    ScratchEnvironment scratch;
    HWND window = StartProgramInProcess();
    if (window == nullptr) {
        state.SkipWithError("the program did not start");
        return;
    }
    RunLoopUntilIdle();
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_CALIBRATE, BN_CLICKED), 0);
    RunLoopUntilIdle();
    for (auto _ : state) {
        if (sampleIndex == TARGET_COUNT - 1) sampleIndex = 0;
        LPARAM position = MAKELPARAM(int(targetX[sampleIndex]), int(targetY[sampleIndex]));
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, position);
        SendMessageW(window, WM_LBUTTONUP, 0, position);
        RunLoopUntilIdle();
    }
}
BENCHMARK(BM_CalibrationTap)->UseRealTime();

// One value written the way a calibration writes it: key opened, value set
// (the whole file written beside the old one, synced and renamed, under the
// lock), key closed.
void BM_SettingsWrite(benchmark::State& state) {
    ScratchEnvironment scratch;
    InitQOZCalRegistry();
    for (auto _ : state) {
        if (SetQOZRegistryValue(TEXT("SCALEX"), TEXT("1.12940")) != 1) {
            state.SkipWithError("the settings write failed");
            return;
        }
    }
}
BENCHMARK(BM_SettingsWrite)->UseRealTime();

}  // namespace

#include "app/window_procedure.h"

#include "app/calibration_mode.h"
#include "app/main_window.h"
#include "app/painting.h"
#include "calibration/calibrate.h"
#include "calibration/stroke_buffer.h"
#include "calibration/tap_sampling.h"
#include "settings/calibration_events.h"

int calibrating;

// On the pad every recorded position repaints without erasing, so strokes
// stay until something repaints with erasing.
static void RequestPadRepaint(HWND window) {
    if (calibrating == 0) InvalidateRect(window, NULL, FALSE);
}

static void StartCalibration(HWND window) {
    sampleIndex = 0;
    ShowToolButtons(0);
    calibrating = 1;
    InvalidateRect(window, NULL, TRUE);
}

static void CompleteCalibrationTap(HWND window) {
    if (CollectTapSample() == 1) {
        Calibrate1Dimension(sampleX, sampleY);
        NKDbgPrintfW(TEXT("Completes Calibration ..........r\n"));
        ShowToolButtons(1);
        calibrating = 0;
    }
    InvalidateRect(window, NULL, TRUE);
    // The next mark is drawn only after the pause; input meanwhile waits.
    Sleep(500);
}

static void RunCommand(HWND window, WPARAM wParam) {
    calibrating = 0;
    sampleIndex = 0;
    switch (LOWORD(wParam)) {
        case ID_ERASE:
            strokeLength = 0;
            InvalidateRect(window, NULL, TRUE);
            break;
        case ID_EXIT:
            SendMessageW(window, WM_DESTROY, 0, 0);
            break;
        case ID_CALIBRATE:
            ShowToolButtons(0);
            calibrating = 1;
            InvalidateRect(window, NULL, TRUE);
            SignalCalibrationStart();
            break;
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
            BeginStroke(lParam);
            RequestPadRepaint(window);
            return 0;
        case WM_MOUSEMOVE:
            ExtendStroke(lParam);
            RequestPadRepaint(window);
            return 0;
        case WM_LBUTTONUP:
            EndStroke(lParam);
            RequestPadRepaint(window);
            if (calibrating == 1) CompleteCalibrationTap(window);
            return 0;
        case WM_COMMAND:
            RunCommand(window, wParam);
            return 0;
        case WM_KEYUP:
            StartCalibration(window);
            return 0;
        case WM_PAINT:
            PaintMainWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

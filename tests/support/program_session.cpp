#include "tests/support/program_session.h"

#include "app/calibration_mode.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/window_procedure.h"
#include "calibration/stroke_buffer.h"
#include "calibration/tap_sampling.h"
#include "platform/host/kernel32/clock.h"
#include "platform/host/shell.h"
#include "platform/host/user32/window_system.h"
#include "platform/host/user32/window_table.h"

void ResetProgramInProcess(int screenWidth, int screenHeight) {
    qoz::host::ResetWindowSystemForTesting();
    qoz::host::SetScreenSize(screenWidth, screenHeight);
    qoz::host::UseVirtualTime(true);
    calibrating = 0;
    sampleIndex = 0;
    strokeIndex = 0;
    strokeLength = 0;
}

HWND StartProgramInProcess(int screenWidth, int screenHeight) {
    ResetProgramInProcess(screenWidth, screenHeight);
    RegisterMainWindowClass(nullptr, MainWindowProc);
    if (InitMainWindow(nullptr, SW_SHOW) == 0) return nullptr;
    // The main window is the first one the program creates.
    return qoz::host::WindowsInCreationOrder().front()->handle;
}

void RunLoopUntilIdle() {
    // Once idle, with no input to wait for, a fetch ends the loop as a quit would.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

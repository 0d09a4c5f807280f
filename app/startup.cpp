#include "app/startup.h"

#include "app/main_window.h"
#include "app/window_procedure.h"
#include "calibration/targets.h"
#include "settings/calibration_events.h"
#include "settings/settings_store.h"

static HINSTANCE appInstance;

int InitMainWindow(HINSTANCE instance, int showCommand) {
    CreateCalibrationEvents();
    InitQOZCalRegistry();
    appInstance = instance;

    HWND window = CreateMainWindow(instance);
    if (window == NULL) return 0;
    CreateToolButtons(window, appInstance);

    // The width first, then the height.
    float width = (float)GetSystemMetrics(SM_CXSCREEN);
    float height = (float)GetSystemMetrics(SM_CYSCREEN);
    LayOutTargets(width, height);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return 1;
}

int AppMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand) {
    (void)previousInstance;
    (void)commandLine;
    RegisterMainWindowClass(instance, MainWindowProc);
    if (InitMainWindow(instance, showCommand) == 0) return 0;

    // The program carries no accelerator table: the handle is null and every
    // message goes on to translation and dispatch.
    HACCEL accelerators = LoadAcceleratorsW(instance, TEXT("QOZ"));
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0)) {
        if (TranslateAcceleratorW(message.hwnd, accelerators, &message) == 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return (int)message.wParam;
}

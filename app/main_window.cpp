#include "app/main_window.h"

static const WCHAR mainWindowClass[] = TEXT("");
static const WCHAR mainWindowTitle[] = TEXT("펜입력");

static HWND eraseButton;
static HWND exitButton;
static HWND calibrateButton;

void RegisterMainWindowClass(HINSTANCE instance, WNDPROC windowProcedure) {
    WNDCLASSW windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = NULL;
    windowClass.hCursor = NULL;
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = mainWindowClass;
    RegisterClassW(&windowClass);
}

HWND CreateMainWindow(HINSTANCE instance) {
    HWND window = CreateWindowExW(0, mainWindowClass, mainWindowTitle, WS_VISIBLE | WS_BORDER, 0, 0,
                                  CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 240, 320, 0);
    return window;
}

static HWND CreateToolButton(HWND window, HINSTANCE instance, LPCWSTR caption, int id, int x,
                             int width) {
    return CreateWindowExW(0, TEXT("button"), caption, WS_CHILD | WS_VISIBLE, x, TOOL_BUTTON_TOP,
                           width, TOOL_BUTTON_HEIGHT, window, (HMENU)(UINT_PTR)id, instance, NULL);
}

void CreateToolButtons(HWND window, HINSTANCE instance) {
    eraseButton = CreateToolButton(window, instance, TEXT("삭제"), ID_ERASE, ERASE_BUTTON_LEFT,
                                   ERASE_BUTTON_WIDTH);
    exitButton = CreateToolButton(window, instance, TEXT("종료"), ID_EXIT, EXIT_BUTTON_LEFT,
                                  EXIT_BUTTON_WIDTH);
    calibrateButton = CreateToolButton(window, instance, TEXT("Calibration"), ID_CALIBRATE,
                                       CALIBRATE_BUTTON_LEFT, CALIBRATE_BUTTON_WIDTH);
}

void ShowToolButtons(int show) {
    int showCommand = show != 0 ? SW_SHOW : SW_HIDE;
    ShowWindow(eraseButton, showCommand);
    ShowWindow(exitButton, showCommand);
    ShowWindow(calibrateButton, showCommand);
}

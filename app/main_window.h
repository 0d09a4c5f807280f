// The main window, 240 x 320 and always on top, and its three tool buttons.
#pragma once

#include "platform/platform.h"

#define ID_ERASE 0x8801
#define ID_EXIT 0x8802
#define ID_CALIBRATE 0x8803

// The three buttons along the window's top edge, in client pixels.
#define TOOL_BUTTON_TOP 1
#define TOOL_BUTTON_HEIGHT 30
#define ERASE_BUTTON_LEFT 100
#define ERASE_BUTTON_WIDTH 30
#define EXIT_BUTTON_LEFT 130
#define EXIT_BUTTON_WIDTH 30
#define CALIBRATE_BUTTON_LEFT 160
#define CALIBRATE_BUTTON_WIDTH 80

void RegisterMainWindowClass(HINSTANCE instance, WNDPROC windowProcedure);
HWND CreateMainWindow(HINSTANCE instance);
void CreateToolButtons(HWND window, HINSTANCE instance);
// Shows the three buttons when show is non-zero, hides them otherwise.
void ShowToolButtons(int show);

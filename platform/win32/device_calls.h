// Desktop Windows stand-ins for the device's calls that the desktop system
// lacks (EventModify, NKDbgPrintfW) or handles differently (an empty class
// name, a top-level window without WS_POPUP, a key created with access 0,
// the NUL it adds to text values, wsprintfW's "%f"). win32_platform.h routes the program's calls here.
#pragma once

#include <windows.h>

#ifndef EVENT_PULSE
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3
#endif

// Sets, pulses or resets an event, as the device's EventModify does.
BOOL EventModify(HANDLE event, DWORD action);

// Formats one line and writes it to the debug output (OutputDebugStringW).
void NKDbgPrintfW(LPCWSTR format, ...);

// wsprintfW with the device's conversions, "%.Nf" included; writes at most
// 1024 characters including the terminating NUL.
int DeviceWsprintfW(LPWSTR buffer, LPCWSTR format, ...);

// The class name to use in place of the empty string, which desktop Windows
// refuses.
extern const WCHAR deviceEmptyClassStandIn[];

ATOM DeviceRegisterClassW(const WNDCLASSW* windowClass);
HWND DeviceCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                           int y, int width, int height, HWND parent, HMENU menu,
                           HINSTANCE instance, LPVOID param);

LONG DeviceRegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                           REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                           LPDWORD disposition);
LONG DeviceRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                          DWORD size);

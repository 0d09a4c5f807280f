// The desktop system's own calls, untouched by the routing in
// platform/win32/win32_platform.h, so the probe can show each gap it closes.
#pragma once

#include <windows.h>

ATOM RawRegisterClassW(const WNDCLASSW* windowClass);
HWND RawCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                        int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance);
LONG RawRegCreateKeyExW(HKEY key, LPCWSTR subKey, REGSAM access, PHKEY result);
LONG RawRegSetValueExW(HKEY key, LPCWSTR name, LPCWSTR text, DWORD size);
int RawWsprintfW(LPWSTR buffer, LPCWSTR format, double value);

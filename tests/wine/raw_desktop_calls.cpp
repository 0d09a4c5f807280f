#include "tests/wine/raw_desktop_calls.h"

ATOM RawRegisterClassW(const WNDCLASSW* windowClass) { return RegisterClassW(windowClass); }

HWND RawCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                        int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance) {
    return CreateWindowExW(exStyle, className, windowName, style, x, y, width, height, parent, menu,
                           instance, NULL);
}

LONG RawRegCreateKeyExW(HKEY key, LPCWSTR subKey, REGSAM access, PHKEY result) {
    return RegCreateKeyExW(key, subKey, 0, NULL, 0, access, NULL, result, NULL);
}

LONG RawRegSetValueExW(HKEY key, LPCWSTR name, LPCWSTR text, DWORD size) {
    return RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text, size);
}

int RawWsprintfW(LPWSTR buffer, LPCWSTR format, double value) {
    return wsprintfW(buffer, format, value);
}

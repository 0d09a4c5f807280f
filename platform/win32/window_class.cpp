#include "platform/win32/device_calls.h"

const WCHAR deviceEmptyClassStandIn[] = L"QozDeviceEmptyClass";

static LPCWSTR DesktopClassName(LPCWSTR className) {
    // An atom passed in place of a name is left alone.
    if (IS_INTRESOURCE(className)) return className;
    return className[0] == 0 ? deviceEmptyClassStandIn : className;
}

ATOM DeviceRegisterClassW(const WNDCLASSW* windowClass) {
    if (windowClass == NULL) return RegisterClassW(windowClass);
    WNDCLASSW desktopClass = *windowClass;
    desktopClass.lpszClassName = DesktopClassName(windowClass->lpszClassName);
    return RegisterClassW(&desktopClass);
}

HWND DeviceCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                           int y, int width, int height, HWND parent, HMENU menu,
                           HINSTANCE instance, LPVOID param) {
    // Every top-level window on the device is a pop-up: the desktop would add
    // a caption and a sizing frame to one without WS_POPUP.
    if (parent == NULL && (style & (WS_POPUP | WS_CHILD)) == 0) style |= WS_POPUP;
    return CreateWindowExW(exStyle, DesktopClassName(className), windowName, style, x, y, width,
                           height, parent, menu, instance, param);
}
